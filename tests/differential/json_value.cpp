#include "json_value.h"

#include <cstdlib>

namespace {

class Reader {
public:
    explicit Reader(const std::string& text) : text_(text) {}

    bool Value(JsonValue& out)
    {
        Blank();
        if (pos_ >= text_.size())
            return false;
        char c = text_[pos_];
        if (c == '{')
            return Object(out);
        if (c == '[')
            return Array(out);
        if (c == '"') {
            out.kind = JsonValue::Kind::Text;
            return String(out.text);
        }
        if (Word("true") || Word("false")) {
            out.kind = JsonValue::Kind::Flag;
            out.flag = c == 't';
            return true;
        }
        if (Word("null"))
            return true;
        char* end = nullptr;
        out.kind = JsonValue::Kind::Number;
        out.number = std::strtod(text_.c_str() + pos_, &end);
        if (end == text_.c_str() + pos_)
            return false;
        pos_ = static_cast<size_t>(end - text_.c_str());
        return true;
    }
    bool AtEnd()
    {
        Blank();
        return pos_ == text_.size();
    }

private:
    void Blank()
    {
        while (pos_ < text_.size() && std::string(" \t\r\n").find(text_[pos_]) != std::string::npos)
            ++pos_;
    }
    bool Word(const char* word)
    {
        std::string w(word);
        if (text_.compare(pos_, w.size(), w) != 0)
            return false;
        pos_ += w.size();
        return true;
    }
    bool Take(char c)
    {
        Blank();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool String(std::string& out)
    {
        ++pos_;  // the opening quote
        while (pos_ < text_.size()) {
            char c = text_[pos_++];
            if (c == '"')
                return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size())
                return false;
            char e = text_[pos_++];
            if (e == 'u') {
                if (pos_ + 4 > text_.size())
                    return false;
                out += static_cast<char>(std::strtoul(text_.substr(pos_, 4).c_str(), nullptr, 16));
                pos_ += 4;
            } else {
                static const std::string from = "nrtbf", to = "\n\r\t\b\f";
                size_t at = from.find(e);
                out += at == std::string::npos ? e : to[at];
            }
        }
        return false;
    }
    bool Array(JsonValue& out)
    {
        out.kind = JsonValue::Kind::Array;
        ++pos_;
        if (Take(']'))
            return true;
        do {
            out.items.emplace_back();
            if (!Value(out.items.back()))
                return false;
        } while (Take(','));
        return Take(']');
    }
    bool Object(JsonValue& out)
    {
        out.kind = JsonValue::Kind::Object;
        ++pos_;
        if (Take('}'))
            return true;
        do {
            std::string name;
            Blank();
            if (pos_ >= text_.size() || text_[pos_] != '"' || !String(name) || !Take(':') ||
                !Value(out.members[name]))
                return false;
        } while (Take(','));
        return Take('}');
    }

    const std::string& text_;
    size_t pos_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& name) const
{
    static const JsonValue none;
    auto found = members.find(name);
    return found == members.end() ? none : found->second;
}

std::vector<std::string> JsonValue::Texts() const
{
    std::vector<std::string> texts;
    for (const JsonValue& item : items)
        texts.push_back(item.text);
    return texts;
}

std::optional<JsonValue> ParseJson(const std::string& text)
{
    Reader reader(text);
    JsonValue value;
    if (!reader.Value(value) || !reader.AtEnd())
        return std::nullopt;
    return value;
}
