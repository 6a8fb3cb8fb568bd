#include "support/GuideIndex.h"

#include "support/Process.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace testsupport {

namespace {

const std::string kEllipsis = "\xE2\x80\xA6"; // "…"

// What the index's names stand for: its objects, as the index's opening
// paragraph introduces them, and the arguments it names without a type.
const char* const kPrelude = R"(
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

using namespace velmora;

void guideIndex(int argc, char** argv, std::ostream& out) {
    Application& app = Application::instance();
    SoundManager& sound = SoundManager::instance();
    Shader* shader = Shader::load("textured.glsl");
    Texture* texture = Texture::load("font.png");
    Camera camera;
    SpriteBatch batch;
    Atlas atlas;
    Canvas canvas(64, 64);
    Sprite sprite;
    FixedStep clock;
    Font font;
    TextOptions options;
    Random rng;
    std::vector<std::string> paths;
    std::string atlasName, spriteName, fileName, text;
    const char* name = "";
    const char* file = "";
    int picture = 0, i = 0, line = 0;
    float l = 0, r = 1, b = 0, t = 1, near = -1, far = 1, x = 0, y = 0, z = 0, w = 1, h = 1;
    float x0 = 0, y0 = 0, x1 = 1, y1 = 1, width = 1, angle = 0, rot = 0;
    float sx = 1, sy = 1, ox = 0, oy = 0, size = 1, volume = 1, pitch = 1, pan = 0;
    Vec4 tint, colour;
    Rect rect, where, pixels;
    Matrix4 m = identityMatrix();
    std::function<unsigned int()> next;
)";

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

bool startsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// Where the parenthesis open at `open` closes, or npos.
std::size_t closing(const std::string& text, std::size_t open) {
    int depth = 0;
    for (std::size_t at = open; at < text.size(); ++at) {
        depth += text[at] == '(' ? 1 : text[at] == ')' ? -1 : 0;
        if (depth == 0) {
            return at;
        }
    }
    return std::string::npos;
}

bool isEllipsis(const std::string& text) {
    return text == kEllipsis || text == "...";
}

// Splits at `separator` where no bracket of any kind is open.
std::vector<std::string> splitTopLevel(const std::string& text, char separator) {
    std::vector<std::string> parts(1);
    int depth = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        const bool arrow = c == '>' && at > 0 && text[at - 1] == '-';
        depth += (c == '(' || c == '<' || c == '{' || c == '[') ? 1 : 0;
        depth -= (c == ')' || (c == '>' && !arrow) || c == '}' || c == ']') ? 1 : 0;
        if (c == separator && depth == 0) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    for (auto& part : parts) {
        part = trim(part);
    }
    return parts;
}

std::string literal(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        out += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    }
    return out + "\"";
}

const std::string kCallee = R"([A-Za-z_]\w*(?:(?:\.|::|->)[A-Za-z_]\w*)*)";

// One argument: "const Vec4& colour", a prelude name "colour", either with
// "= value" when it may be left out.
struct Argument {
    std::string parameter; // "const Vec4& colour", or "" for a prelude name
    std::string use;       // what the call passes
    bool optional = false;
};

Argument parseArgument(const std::string& text) {
    Argument argument;
    const auto parts = splitTopLevel(text, '=');
    argument.optional = parts.size() > 1;
    static const std::regex typed(R"(^(.*[\s*&>])([A-Za-z_]\w*)$)");
    static const std::regex functionPointer(R"(^.*\(\s*\*\s*([A-Za-z_]\w*)\s*\)\s*\(.*\)$)");
    std::smatch match;
    if (std::regex_match(parts[0], match, functionPointer)) {
        argument.parameter = parts[0];
        argument.use = match[1];
    } else if (std::regex_match(parts[0], match, typed)) {
        argument.parameter = parts[0];
        argument.use = match[2];
    } else {
        argument.use = parts[0];
    }
    return argument;
}

// "RET callee(ARGS)" as one lambda whose body asks the compiler for every
// number of arguments the entry allows; false when `text` is no call.
bool translateCall(const std::string& text, std::string* returns, std::string* out) {
    const auto open = text.find('(');
    if (open == std::string::npos || closing(text, open) != text.size() - 1) {
        return false; // the arguments' parenthesis closes the entry
    }
    static const std::regex head("^(?:static\\s+)?(.*?)\\s*(" + kCallee + ")$");
    std::smatch match;
    const std::string before = trim(text.substr(0, open));
    if (!std::regex_match(before, match, head)) {
        return false;
    }
    if (!match[1].str().empty()) {
        *returns = match[1];
    }
    std::vector<Argument> arguments;
    for (const auto& part : splitTopLevel(text.substr(open + 1, text.size() - open - 2), ',')) {
        if (isEllipsis(part)) {
            break; // further arguments, which the index leaves unsaid
        }
        if (!part.empty()) {
            arguments.push_back(parseArgument(part));
        }
    }
    std::string parameters, body, passed;
    std::size_t required = arguments.size();
    for (std::size_t at = arguments.size(); at-- > 0 && arguments[at].optional;) {
        required = at;
    }
    for (std::size_t count = 0; count <= arguments.size(); ++count) {
        if (count >= required) {
            const std::string call = "decltype(" + match[2].str() + "(" + passed + "))";
            body += returns->empty()
                        ? "static_assert(sizeof(std::add_pointer_t<" + call + ">) > 0, \"\"); "
                        : "static_assert(std::is_same<" + call + ", " + *returns + ">::value, " +
                              literal("returns " + *returns + ": " + text) + "); ";
        }
        if (count < arguments.size()) {
            const Argument& argument = arguments[count];
            if (!argument.parameter.empty()) {
                parameters += (parameters.empty() ? "" : ", ") + argument.parameter;
            }
            passed += (count == 0 ? "" : ", ") + argument.use;
        }
    }
    *out += "(void)[&](" + parameters + ") { " + body + "}; ";
    return true;
}

// One entry: calls (sharing a return type when listed with commas), a data
// member, or names.
std::string translateEntry(const std::string& entry, int* checks) {
    const auto parts = splitTopLevel(entry, ',');
    std::string out;
    // A call closes its arguments; "std::function<void(int)> X::hook" is a member.
    if (parts[0].find('(') != std::string::npos && parts.back().back() == ')') {
        std::string returns;
        for (const auto& part : parts) {
            if (!translateCall(part, &returns, &out)) {
                return "#error index entry not understood: " + entry;
            }
            ++*checks;
        }
        return out;
    }
    static const std::regex member("^(.+[\\s*&>])(" + kCallee + "(?:\\.|::|->)[A-Za-z_]\\w*)$");
    std::smatch match;
    if (parts.size() == 1 && std::regex_match(parts[0], match, member)) {
        ++*checks;
        return "static_assert(std::is_same<decltype(" + match[2].str() + "), " + trim(match[1]) +
               ">::value, " + literal("is " + entry) + ");";
    }
    static const std::regex name(R"([A-Za-z_]\w*)");
    for (const auto& part : parts) {
        std::vector<std::string> names;
        const auto range = part.find(kEllipsis);
        if (isEllipsis(part) || part.empty()) {
            continue; // "kMouseLeft, …": more of the same kind
        } else if (range != std::string::npos) {
            names = {trim(part.substr(0, range)), trim(part.substr(range + kEllipsis.size()))};
        } else {
            names = {part};
        }
        for (const auto& one : names) {
            if (!std::regex_match(one, name)) {
                return "#error index entry not understood: " + entry;
            }
            out += "{ using velmora::" + one + "; } ";
            ++*checks;
        }
    }
    return out;
}

} // namespace

IndexCheck translateGuideIndex(const std::string& markdown, const std::string& shownAs) {
    IndexCheck result;
    std::istringstream in(markdown);
    std::string line, entries;
    bool inIndex = false, fenced = false;
    static const std::regex header(R"(\b[A-Z][A-Za-z]*\.h\b)");
    for (int number = 1; std::getline(in, line); ++number) {
        if (!fenced && startsWith(line, "## ")) {
            inIndex = trim(line) == "## Index";
            continue;
        }
        if (!inIndex) {
            continue;
        }
        if (startsWith(line, "```")) {
            fenced = !fenced;
            continue;
        }
        if (!fenced && !startsWith(line, "    ") && !startsWith(line, "\t")) {
            continue; // prose
        }
        std::string code = trim(line);
        if (startsWith(code, "//")) {
            for (std::sregex_iterator it(code.begin(), code.end(), header), end; it != end; ++it) {
                result.headers.push_back(it->str());
            }
            continue;
        }
        code = trim(code.substr(0, code.find("//")));
        for (const auto& entry : splitTopLevel(code, ';')) {
            if (!entry.empty()) {
                entries += "#line " + std::to_string(number) + " " + literal(shownAs) + "\n" +
                           translateEntry(entry, &result.checks) + "\n";
            }
        }
    }
    for (const auto& name : result.headers) {
        result.source += "#include <velmora/" + name + ">\n";
    }
    result.source += kPrelude + entries + "}\n";
    return result;
}

std::string compileSyntaxOnly(const std::string& source, const std::string& includeDir,
                              int* exitCode) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("guide-index-" + std::to_string(getpid()) + ".cpp"))
                                 .string();
    {
        std::ofstream file(path);
        file << source;
    }
    const std::string messages =
        runShell("(exec 2>&1; c++ -std=c++17 -fsyntax-only -I'" + includeDir + "' '" + path + "')",
                 exitCode);
    std::filesystem::remove(path);
    return messages;
}

bool installEngine(const std::string& prefix, std::string* log) {
    int rc = -1;
    // runShell drops the command's standard error; the messages come along
    // in its output.
    *log = runShell("(exec 2>&1; cmake --install '" VELMORA_BINARY_DIR
                    "' --component engine --prefix '" +
                        prefix + "')",
                    &rc);
    return rc == 0;
}

} // namespace testsupport
