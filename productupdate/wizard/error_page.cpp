#include "error_page.h"

#include "framework/data_exchange.h"
#include "resources/resource.h"
#include "wizard_frame.h"

void ErrorPage::DoDataExchange(framework::DataExchange& exchange)
{
    exchange.Text(IDC_ERRORTEXT, errorText);
}

namespace {

// A multi-line edit control breaks lines at CR LF only.
std::string WithCrLf(const std::string& text)
{
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            lines += '\r';
        lines += text[i];
    }
    return lines;
}

}  // namespace

BOOL ErrorPage::OnInitDialog()
{
    errorText = WithCrLf(errorText);
    WizardPage::OnInitDialog();
    if (WizardFrame* frame = Frame()) {
        frame->ApplyButtons(okOpens.empty() ? PageKind::Error : PageKind::DownloadError);
        frame->run().runFinished = 1;
    }
    return TRUE;
}

void ErrorPage::OnFrameOk()
{
    if (!okOpens.empty())
        ShellExecuteA(hwnd(), "open", okOpens.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
