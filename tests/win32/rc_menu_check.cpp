// Keeps resources/poremisu.rc in step with the core: the menu "MAINMENU" row
// by row against MainMenuRows(), and the texts of the string table and the
// address dialog against the core's fixed texts.
//
//     win32_rc_check path/to/poremisu.rc

#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/Text.h"
#include "ui/CommandTable.h"

namespace {

using poremisu::MenuRowKind;

struct Row {
    int level = 0;
    MenuRowKind kind = MenuRowKind::Item;
    std::string caption;
    int id = 0;
    int line = 0;
};

std::string KindName(MenuRowKind kind) {
    switch (kind) {
    case MenuRowKind::Popup: return "POPUP";
    case MenuRowKind::Item: return "MENUITEM";
    case MenuRowKind::Separator: return "SEPARATOR";
    }
    return "?";
}

// The tokens of one line of a resource script: words, numbers, commas and
// quoted strings (a doubled quote stands for one quote). Comments end it.
std::vector<std::string> Tokens(std::string_view line, std::vector<bool>& quoted) {
    std::vector<std::string> tokens;
    quoted.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
            break;
        } else if (c == ',') {
            tokens.emplace_back(",");
            quoted.push_back(false);
            ++i;
        } else if (c == '"') {
            std::string text;
            ++i;
            while (i < line.size()) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        text += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += line[i++];
            }
            tokens.push_back(text);
            quoted.push_back(true);
        } else {
            std::size_t end = line.find_first_of(" \t\r,\"", i);
            if (end == std::string_view::npos) end = line.size();
            tokens.emplace_back(line.substr(i, end - i));
            quoted.push_back(false);
            i = end;
        }
    }
    return tokens;
}

std::optional<int> Number(const std::string& token) {
    if (token.empty()) return std::nullopt;
    std::size_t used = 0;
    try {
        int value = std::stoi(token, &used, 0);
        if (used == token.size()) return value;
    } catch (...) {
    }
    return std::nullopt;
}

struct Script {
    std::vector<Row> menu;
    bool menuFound = false;
    std::map<int, std::string> strings;
    std::vector<std::string> dialog100Texts;  // caption and control texts
    std::vector<std::string> errors;
};

Script Parse(std::istream& in) {
    Script script;
    enum class Block { None, Menu, Strings, Dialog100 } block = Block::None;
    bool inBody = false;
    int depth = 0;
    std::string line;
    int number = 0;
    std::vector<bool> quoted;
    while (std::getline(in, line)) {
        ++number;
        std::vector<std::string> t = Tokens(line, quoted);
        if (t.empty()) continue;
        const std::string& head = t[0];
        bool open = head == "BEGIN" || head == "{";
        bool close = head == "END" || head == "}";

        if (block == Block::None) {
            if (t.size() >= 2 && t[0] == "MAINMENU" && t[1] == "MENU") {
                block = Block::Menu;
                script.menuFound = true;
            } else if (head == "STRINGTABLE") {
                block = Block::Strings;
            } else if (t.size() >= 2 && (t[0] == "IDD_URL_INPUT" || t[0] == "100") &&
                       (t[1] == "DIALOG" || t[1] == "DIALOGEX")) {
                block = Block::Dialog100;
            }
            inBody = false;
            depth = 0;
            continue;
        }
        if (open) {
            ++depth;
            inBody = true;
            continue;
        }
        if (close) {
            if (--depth == 0) block = Block::None;
            continue;
        }
        if (block == Block::Dialog100) {
            // The caption before the body, the first quoted text of each control.
            if ((!inBody && head == "CAPTION") || inBody) {
                for (std::size_t k = 0; k < t.size(); ++k) {
                    if (quoted[k]) {
                        script.dialog100Texts.push_back(t[k]);
                        break;
                    }
                }
            }
            continue;
        }
        if (!inBody) continue;
        if (block == Block::Strings) {
            std::map<std::string, int> names{{"IDS_SYSMENU_URLINPUT", 101}, {"IDS_SYSMENU_MENUSET", 102},
                                             {"IDS_SYSMENU_HELP", 103}};
            std::optional<int> id = names.count(head) ? std::optional<int>(names[head]) : Number(head);
            if (id && t.size() >= 2 && quoted.back()) script.strings[*id] = t.back();
            continue;
        }
        // The menu: depth 1 is the bar.
        Row row;
        row.level = depth - 1;
        row.line = number;
        if (head == "POPUP" && t.size() >= 2 && quoted[1]) {
            row.kind = MenuRowKind::Popup;
            row.caption = t[1];
        } else if (head == "MENUITEM" && t.size() == 2 && t[1] == "SEPARATOR") {
            row.kind = MenuRowKind::Separator;
        } else if (head == "MENUITEM" && t.size() >= 4 && quoted[1] && t[2] == ",") {
            row.kind = MenuRowKind::Item;
            row.caption = t[1];
            std::optional<int> id = Number(t[3]);
            if (!id) {
                script.errors.push_back("line " + std::to_string(number) + ": the id '" + t[3] +
                                        "' is not a number");
                continue;
            }
            row.id = *id;
        } else {
            script.errors.push_back("line " + std::to_string(number) + ": not understood: " + line);
            continue;
        }
        script.menu.push_back(row);
    }
    return script;
}

std::string Describe(int level, MenuRowKind kind, std::string_view caption, int id) {
    std::ostringstream out;
    out << "level " << level << " " << KindName(kind) << " \"" << caption << "\" " << id;
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s poremisu.rc\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    Script script = Parse(in);
    std::vector<std::string> errors = script.errors;
    if (!script.menuFound) errors.push_back("no MAINMENU MENU block");

    auto rows = poremisu::MainMenuRows();
    std::size_t count = std::max(rows.size(), script.menu.size());
    for (std::size_t i = 0; i < count; ++i) {
        std::string expected = i < rows.size() ? Describe(rows[i].level, rows[i].kind,
                                                          poremisu::Utf8(rows[i].caption), rows[i].id)
                                               : "(nothing)";
        std::string found = i < script.menu.size()
                                ? Describe(script.menu[i].level, script.menu[i].kind, script.menu[i].caption,
                                           script.menu[i].id)
                                : "(nothing)";
        if (expected != found) {
            std::string where = i < script.menu.size() ? " (line " + std::to_string(script.menu[i].line) + ")" : "";
            errors.push_back("menu row " + std::to_string(i) + where + ": command table has " + expected +
                             ", the script has " + found);
        }
    }

    // The same texts, once compiled into the core and once in the resources.
    poremisu::Texts texts = poremisu::Texts::Make([](std::string_view utf8) { return std::string(utf8); });
    const std::pair<int, const std::string*> strings[] = {
        {101, &texts.sysMenuUrlInput}, {102, &texts.sysMenuMenuSet}, {103, &texts.sysMenuHelp}};
    for (const auto& [id, text] : strings) {
        auto found = script.strings.find(id);
        if (found == script.strings.end()) {
            errors.push_back("string " + std::to_string(id) + " is missing");
        } else if (found->second != *text) {
            errors.push_back("string " + std::to_string(id) + " is \"" + found->second + "\", the core has \"" +
                             *text + "\"");
        }
    }
    for (const std::string* text : {&texts.urlInputCaption, &texts.versionLabel}) {
        bool present = false;
        for (const std::string& t : script.dialog100Texts) present = present || t == *text;
        if (!present) errors.push_back("the address dialog lacks the text \"" + *text + "\"");
    }

    for (const std::string& error : errors) std::printf("%s\n", error.c_str());
    if (!errors.empty()) return 1;
    std::printf("MAINMENU: %zu rows match the command table; strings 101-103 and the address dialog's texts match\n",
                script.menu.size());
    return 0;
}
