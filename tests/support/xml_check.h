// A small XML 1.0 well-formedness checker for the documents the program writes (SVG):
// one root element, properly nested and matching tags, quoted attributes without '<'
// and without duplicates, only the predefined and numeric entity references, no
// stray '<' or "]]>" in text, valid UTF-8 without control characters. It also counts
// the elements by name and collects the decoded character data of each element.
#pragma once

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace velmora::test {

struct XmlElement {
    std::string name;
    std::map<std::string, std::string> attributes; // decoded values
    std::string text;                              // decoded character data directly inside
};

struct XmlCheck {
    bool ok = false;
    std::string error;
    std::vector<XmlElement> elements; // in document order
    int Count(const std::string& name) const {
        int n = 0;
        for (const auto& e : elements)
            n += e.name == name;
        return n;
    }
};

class XmlChecker {
  public:
    static XmlCheck Check(const std::string& doc) {
        XmlChecker c(doc);
        c.Run();
        return c.result_;
    }

  private:
    explicit XmlChecker(const std::string& doc) : s_(doc) {}

    const std::string& s_;
    size_t i_ = 0;
    XmlCheck result_;
    std::vector<std::pair<std::string, size_t>> open_; // name, index in elements

    bool Fail(const std::string& why) {
        if (result_.error.empty()) result_.error = why + " at offset " + std::to_string(i_);
        return false;
    }
    bool At(const char* lit) const { return s_.compare(i_, std::char_traits<char>::length(lit), lit) == 0; }
    static bool NameStart(char c) {
        return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ':' || (c & 0x80);
    }
    static bool NameChar(char c) {
        return NameStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.';
    }
    void SkipSpace() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
            ++i_;
    }

    bool ValidChars() {
        for (size_t k = 0; k < s_.size();) {
            const unsigned char c = static_cast<unsigned char>(s_[k]);
            size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
            if (n == 0 || k + n > s_.size()) return i_ = k, Fail("malformed UTF-8");
            for (size_t j = 1; j < n; ++j)
                if ((static_cast<unsigned char>(s_[k + j]) & 0xC0) != 0x80)
                    return i_ = k, Fail("malformed UTF-8");
            if (n == 1 && c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                return i_ = k, Fail("control character");
            k += n;
        }
        return true;
    }

    bool Name(std::string& out) {
        if (i_ >= s_.size() || !NameStart(s_[i_])) return Fail("name expected");
        const size_t start = i_;
        while (i_ < s_.size() && NameChar(s_[i_]))
            ++i_;
        out = s_.substr(start, i_ - start);
        return true;
    }

    // Decodes character data up to `stop` (exclusive), checking entity references.
    bool Decode(size_t stop, std::string& out, bool attribute) {
        while (i_ < stop) {
            const char c = s_[i_];
            if (c == '<') return Fail("'<' in character data");
            if (!attribute && At("]]>")) return Fail("']]>' in character data");
            if (c != '&') {
                out += c;
                ++i_;
                continue;
            }
            const size_t semi = s_.find(';', i_);
            if (semi == std::string::npos || semi >= stop) return Fail("unterminated reference");
            const std::string ref = s_.substr(i_ + 1, semi - i_ - 1);
            static const std::map<std::string, char> named = {
                {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
            if (auto it = named.find(ref); it != named.end()) {
                out += it->second;
            } else if (ref.size() > 1 && ref[0] == '#') {
                const bool hex = ref[1] == 'x';
                const std::string digits = ref.substr(hex ? 2 : 1);
                if (digits.empty()) return Fail("empty character reference");
                for (char d : digits)
                    if (!(hex ? std::isxdigit(static_cast<unsigned char>(d))
                              : std::isdigit(static_cast<unsigned char>(d))))
                        return Fail("bad character reference");
                out += '?';
            } else {
                return Fail("undefined entity &" + ref + ";");
            }
            i_ = semi + 1;
        }
        return true;
    }

    bool Misc() { // comments, processing instructions and space
        for (;;) {
            SkipSpace();
            if (At("<!--")) {
                const size_t end = s_.find("-->", i_ + 4);
                if (end == std::string::npos) return Fail("unterminated comment");
                i_ = end + 3;
            } else if (At("<?")) {
                const size_t end = s_.find("?>", i_ + 2);
                if (end == std::string::npos) return Fail("unterminated processing instruction");
                i_ = end + 2;
            } else {
                return true;
            }
        }
    }

    bool StartTag() { // at '<' of a start tag
        ++i_;
        XmlElement e;
        if (!Name(e.name)) return false;
        std::set<std::string> seen;
        for (;;) {
            const size_t before = i_;
            SkipSpace();
            if (At("/>")) {
                i_ += 2;
                result_.elements.push_back(e);
                return true;
            }
            if (At(">")) {
                ++i_;
                result_.elements.push_back(e);
                open_.emplace_back(e.name, result_.elements.size() - 1);
                return true;
            }
            if (i_ == before) return Fail("space expected before attribute");
            std::string attr;
            if (!Name(attr)) return false;
            if (!seen.insert(attr).second) return Fail("duplicate attribute " + attr);
            SkipSpace();
            if (!At("=")) return Fail("'=' expected");
            ++i_;
            SkipSpace();
            if (i_ >= s_.size() || (s_[i_] != '"' && s_[i_] != '\'')) return Fail("quoted value expected");
            const char q = s_[i_++];
            const size_t close = s_.find(q, i_);
            if (close == std::string::npos) return Fail("unterminated attribute value");
            std::string value;
            if (!Decode(close, value, true)) return false;
            i_ = close + 1;
            e.attributes[attr] = value;
        }
    }

    void Run() {
        if (!ValidChars()) return;
        if (!Misc()) return;
        if (!At("<") || At("</")) {
            Fail("root element expected");
            return;
        }
        if (!StartTag()) return;
        while (!open_.empty()) {
            if (i_ >= s_.size()) {
                Fail("unclosed element " + open_.back().first);
                return;
            }
            if (At("<!--") || At("<?")) {
                if (!Misc()) return;
            } else if (At("<![CDATA[")) {
                const size_t end = s_.find("]]>", i_);
                if (end == std::string::npos) {
                    Fail("unterminated CDATA");
                    return;
                }
                result_.elements[open_.back().second].text += s_.substr(i_ + 9, end - i_ - 9);
                i_ = end + 3;
            } else if (At("</")) {
                i_ += 2;
                std::string name;
                if (!Name(name)) return;
                SkipSpace();
                if (!At(">")) {
                    Fail("'>' expected");
                    return;
                }
                ++i_;
                if (name != open_.back().first) {
                    Fail("</" + name + "> closes <" + open_.back().first + ">");
                    return;
                }
                open_.pop_back();
            } else if (At("<")) {
                if (!StartTag()) return;
            } else {
                size_t stop = s_.find('<', i_);
                if (stop == std::string::npos) stop = s_.size();
                std::string text;
                if (!Decode(stop, text, false)) return;
                result_.elements[open_.back().second].text += text;
            }
        }
        if (!Misc()) return;
        if (i_ != s_.size()) {
            Fail("content after the root element");
            return;
        }
        result_.ok = true;
    }
};

inline XmlCheck CheckXml(const std::string& doc) {
    return XmlChecker::Check(doc);
}

} // namespace velmora::test
