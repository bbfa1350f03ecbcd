// A copy of a text whose terminating zero is the last readable byte: the page
// after it can be neither read nor written, so code that reads past the end of
// the text faults at once instead of passing unnoticed.
#pragma once

#include <string>

class GuardedText {
public:
    explicit GuardedText(const std::string& text);
    ~GuardedText();
    GuardedText(const GuardedText&) = delete;
    GuardedText& operator=(const GuardedText&) = delete;

    const char* c_str() const { return text_; }

private:
    void* block_ = nullptr;
    char* text_ = nullptr;
};
