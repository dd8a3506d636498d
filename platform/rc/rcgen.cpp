// Compiles a module's resource script into C++ source that registers the resources with the
// platform when the module is loaded.
//
//   STRING <id> "<text>"                 one entry of the string table
//   VERSION FILEVERSION a,b,c,d          fixed version information
//   VERSION PRODUCTVERSION a,b,c,d
//   VERSION VALUE <name> "<text>"        a named version text
//
// Texts are UTF-8 with the escapes \\ \" \n \r \t and \uXXXX. Lines starting with # are comments.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/wstring.h"

namespace {

struct Script {
    std::map<unsigned, std::u16string> strings;
    bool hasVersion = false;
    unsigned fileVersion[4] = {0, 0, 0, 0};
    unsigned productVersion[4] = {0, 0, 0, 0};
    std::vector<std::pair<std::string, std::u16string>> values;
};

[[noreturn]] void Fail(const std::string& file, int line, const std::string& what)
{
    std::cerr << file << ":" << line << ": " << what << "\n";
    std::exit(1);
}

bool ReadQuoted(std::istream& in, std::string* out)
{
    in >> std::ws;
    if (in.get() != '"') return false;
    for (int c; (c = in.get()) != EOF;) {
        if (c == '"') return true;
        if (c != '\\') {
            out->push_back(static_cast<char>(c));
            continue;
        }
        switch (c = in.get()) {
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case '\\': case '"': out->push_back(static_cast<char>(c)); break;
        case 'u': {
            char hex[5] = {};
            in.read(hex, 4);
            const unsigned long cp = std::strtoul(hex, nullptr, 16);
            out->append(platform::Narrow(std::u16string(1, static_cast<char16_t>(cp))));
            break;
        }
        default: return false;
        }
    }
    return false;
}

bool ReadVersion(std::istream& in, unsigned v[4])
{
    char comma;
    return static_cast<bool>(in >> v[0] >> comma >> v[1] >> comma >> v[2] >> comma >> v[3]);
}

Script Parse(const std::string& file)
{
    std::ifstream in(file);
    if (!in) Fail(file, 0, "cannot open");
    Script script;
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        std::istringstream line(text);
        std::string word;
        if (!(line >> word) || word[0] == '#') continue;
        if (word == "STRING") {
            unsigned id;
            std::string value;
            if (!(line >> id) || !ReadQuoted(line, &value)) Fail(file, number, "expected STRING <id> \"<text>\"");
            if (!script.strings.emplace(id, platform::Widen(value)).second) Fail(file, number, "duplicate string id");
        } else if (word == "VERSION") {
            std::string kind;
            line >> kind;
            script.hasVersion = true;
            if (kind == "FILEVERSION") {
                if (!ReadVersion(line, script.fileVersion)) Fail(file, number, "expected FILEVERSION a,b,c,d");
            } else if (kind == "PRODUCTVERSION") {
                if (!ReadVersion(line, script.productVersion)) Fail(file, number, "expected PRODUCTVERSION a,b,c,d");
            } else if (kind == "VALUE") {
                std::string name, value;
                if (!(line >> name) || !ReadQuoted(line, &value)) Fail(file, number, "expected VALUE <name> \"<text>\"");
                script.values.emplace_back(name, platform::Widen(value));
            } else {
                Fail(file, number, "unknown VERSION entry " + kind);
            }
        } else {
            Fail(file, number, "unknown statement " + word);
        }
    }
    return script;
}

void WriteWide(std::ostream& out, const std::u16string& text)
{
    out << "{";
    for (char16_t c : text) out << static_cast<unsigned>(c) << ",";
    out << "0}";
}

void Write(const Script& script, std::ostream& out)
{
    out << "// Generated from the module's resource script; do not edit.\n"
           "#include \"platform/resource.h\"\n\nnamespace {\n\n";
    for (const auto& [id, text] : script.strings) {
        out << "const WCHAR s" << id << "[] = ";
        WriteWide(out, text);
        out << ";\n";
    }
    out << "\nconst platform::ResourceString kStrings[] = {\n";
    for (const auto& [id, text] : script.strings)
        out << "    {" << id << ", s" << id << ", " << text.size() << "},\n";
    if (script.strings.empty()) out << "    {0, nullptr, 0},\n";
    out << "};\n";
    if (script.hasVersion) {
        for (size_t i = 0; i < script.values.size(); ++i) {
            out << "const WCHAR v" << i << "[] = ";
            WriteWide(out, script.values[i].second);
            out << ";\n";
        }
        out << "const platform::ResourceVersionValue kValues[] = {\n";
        for (size_t i = 0; i < script.values.size(); ++i)
            out << "    {\"" << script.values[i].first << "\", v" << i << "},\n";
        if (script.values.empty()) out << "    {\"\", nullptr},\n";
        out << "};\nconst platform::ResourceVersion kVersion = {{";
        for (int i = 0; i < 4; ++i) out << script.fileVersion[i] << (i < 3 ? "," : "");
        out << "}, {";
        for (int i = 0; i < 4; ++i) out << script.productVersion[i] << (i < 3 ? "," : "");
        out << "}, kValues, " << script.values.size() << "};\n";
    }
    out << "const platform::ResourceTable kTable = {kStrings, " << script.strings.size() << ", "
        << (script.hasVersion ? "&kVersion" : "nullptr") << "};\n\n"
        << "struct Registration {\n"
           "    Registration() { platform::RegisterModuleResources(&kTable); }\n"
           "    ~Registration() { platform::UnregisterModuleResources(&kTable); }\n"
           "} g_registration;\n\n}  // namespace\n";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: rcgen SCRIPT OUTPUT.cpp\n";
        return 2;
    }
    const Script script = Parse(argv[1]);
    std::ofstream out(argv[2]);
    Write(script, out);
    return out ? 0 : 1;
}
