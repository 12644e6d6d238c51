#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "model/file_io.h"
#include "options.h"

namespace velmora::cli {

// A JSON request: an object whose keys are the command's option names without the
// leading dashes ("apb", "gain_db" or "gain-db", "sections" for the repeated --section),
// with numbers or texts as the values of options, true or false for flags, an array of
// texts for the sections, and an optional "schema_version" (1). Options given on the
// command line win. A value of another kind is a usage error naming its key.
void ApplyRequestFile(CLI::App* cmd, const std::string& path) {
    const std::string file = "the request file '" + Shown(path) + "'";
    if (path.find('\0') != std::string::npos)
        throw UsageError{"the request file's path holds a NUL character"};
    if (std::filesystem::is_directory(path)) throw UsageError{"cannot read " + file + ": " + Reason(EISDIR)};
    std::vector<uint8_t> bytes;
    const FileIoResult read = ReadWholeFile(path, std::size_t{64} << 20, bytes);
    if (!read.ok) throw UsageError{"cannot read " + file + ": " + read.message.substr(path.size() + 2)};
    nlohmann::json j;
    try {
        j = nlohmann::json::parse(bytes.begin(), bytes.end());
    } catch (const nlohmann::json::exception& e) {
        throw UsageError{file + " is not valid JSON: " + Shown(e.what())};
    }
    if (!j.is_object()) throw UsageError{file + " must hold one JSON object"};
    for (auto& [key, value] : j.items()) {
        const std::string where = "'" + Shown(key) + "' in " + file;
        if (key == "schema_version") {
            if (value != 1) throw UsageError{file + " has an unknown schema_version"};
            continue;
        }
        std::string name = key == "sections" ? "section" : key;
        std::replace(name.begin(), name.end(), '_', '-');
        CLI::Option* opt = nullptr;
        if (name != "help" && !name.empty() && name[0] != '-' && name.find('\0') == std::string::npos) {
            try {
                opt = cmd->get_option("--" + name);
            } catch (const CLI::OptionNotFound&) {
            }
        }
        if (!opt || !opt->nonpositional()) throw UsageError{"unknown key " + where};
        if (opt->count() > 0) continue; // the command line wins
        // The option's texts, as they would be typed.
        auto text = [&](const nlohmann::json& v) {
            std::string t;
            if (v.is_string())
                t = v.get<std::string>();
            else if (v.is_number())
                t = v.dump(); // the number as written: integers of any size, doubles round-trip
            else
                throw UsageError{"the value of " + where + " must be a number or a text"};
            if (t.empty()) throw UsageError{"the value of " + where + " is empty"};
            if (t.find('\0') != std::string::npos)
                throw UsageError{"the value of " + where + " holds a NUL character"};
            return t;
        };
        std::vector<std::string> texts;
        if (opt->get_expected_min() == 0) { // a flag
            if (!value.is_boolean()) throw UsageError{"the value of " + where + " must be true or false"};
            if (!value.get<bool>()) continue;
            texts.push_back("true");
        } else if (name == "section") {
            if (value.is_array()) {
                if (value.empty()) throw UsageError{"the value of " + where + " holds no section"};
                for (const auto& item : value) {
                    if (!item.is_string()) throw UsageError{"every section of " + where + " must be a text"};
                    texts.push_back(text(item));
                }
            } else if (value.is_string()) {
                texts.push_back(text(value));
            } else {
                throw UsageError{"the value of " + where + " must be an array of texts"};
            }
        } else {
            texts.push_back(text(value));
        }
        try {
            for (const std::string& t : texts)
                opt->add_result(t);
            opt->run_callback();
        } catch (const CLI::Error& e) {
            throw UsageError{"the value of " + where + " is refused: " + Shown(e.what())};
        }
    }
}

// An option given with an empty value ("--apb ''") would read as not given: refuse it.
void RefuseEmptyValues(const CLI::App* cmd) {
    for (const CLI::Option* opt : cmd->get_options()) {
        if (opt->get_expected_min() == 0) continue; // a flag
        for (const std::string& v : opt->results())
            if (v.empty())
                throw UsageError{(opt->nonpositional() ? "--" + opt->get_lnames().front() : opt->get_name()) +
                                 " is given an empty value"};
    }
}

} // namespace velmora::cli
