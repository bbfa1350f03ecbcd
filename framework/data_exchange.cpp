#include "data_exchange.h"

#include "dialog.h"
#include "progress_bar.h"

namespace framework {

void DataExchange::Control(int id, ProgressBar& bar)
{
    if (!bar.hwnd())
        bar.Attach(GetDlgItem(dialog_, id));
}

void DataExchange::Text(int id, std::string& text)
{
    HWND control = GetDlgItem(dialog_, id);
    if (save_)
        text = WindowText(control);
    else
        SetWindowTextA(control, text.c_str());
}

}  // namespace framework
