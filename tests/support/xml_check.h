// Checks that a document the program writes (SVG) is well-formed XML 1.0, by parsing it
// with expat: one root element, properly nested and matching tags, quoted attributes
// without duplicates, only the predefined and numeric entity references, valid UTF-8
// without control characters. It also lists the elements in document order with their
// decoded attributes and the decoded character data directly inside each.
#pragma once

#include <expat.h>

#include <map>
#include <string>
#include <vector>

namespace velmora::test {

struct XmlElement {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;
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

inline XmlCheck CheckXml(const std::string& doc) {
    struct State {
        XmlCheck result;
        std::vector<std::size_t> open; // indexes into elements
    } state;
    XML_Parser parser = XML_ParserCreate("UTF-8");
    XML_SetUserData(parser, &state);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            State& s = *static_cast<State*>(data);
            XmlElement e{name, {}, {}};
            for (int k = 0; attributes[k]; k += 2)
                e.attributes[attributes[k]] = attributes[k + 1];
            s.open.push_back(s.result.elements.size());
            s.result.elements.push_back(std::move(e));
        },
        [](void* data, const XML_Char*) { static_cast<State*>(data)->open.pop_back(); });
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
        State& s = *static_cast<State*>(data);
        if (!s.open.empty())
            s.result.elements[s.open.back()].text.append(text, static_cast<std::size_t>(length));
    });
    state.result.ok = XML_Parse(parser, doc.data(), static_cast<int>(doc.size()), XML_TRUE) == XML_STATUS_OK;
    if (!state.result.ok)
        state.result.error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
                             std::to_string(XML_GetCurrentLineNumber(parser));
    XML_ParserFree(parser);
    return state.result;
}

} // namespace velmora::test
