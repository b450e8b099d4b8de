// Keeps resources/poremisu.rc in step with the core: the menu "MAINMENU" row
// by row against MainMenuRows(), and the texts of the string table and the
// address dialog against the core's fixed texts.
//
//     win32_rc_check path/to/poremisu.rc

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/Text.h"
#include "ui/CommandTable.h"

namespace {

using poremisu::MenuRowKind;

std::string Describe(int level, MenuRowKind kind, const std::string& caption, const std::string& id) {
    const char* kinds[] = {"POPUP", "MENUITEM", "SEPARATOR"};
    int k = kind == MenuRowKind::Popup ? 0 : kind == MenuRowKind::Item ? 1 : 2;
    return "level " + std::to_string(level) + " " + kinds[k] + " \"" + caption + "\" " + id;
}

// The first quoted text of the line; a doubled quote stands for one.
std::string Quoted(const std::string& line) {
    std::string text;
    for (std::size_t i = line.find('"') + 1; i > 0 && i < line.size(); ++i) {
        if (line[i] == '"' && (i + 1 == line.size() || line[i + 1] != '"')) break;
        text += line[i];
        if (line[i] == '"') ++i;
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::ifstream in(argc == 2 ? argv[1] : "", std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "usage: %s poremisu.rc\n", argv[0]);
        return 2;
    }
    enum class Block { None, Menu, Strings, Dialog } block = Block::None;
    int depth = 0;
    std::vector<std::string> menu, dialogTexts, errors;
    std::map<std::string, std::string> strings;
    for (std::string line; std::getline(in, line);) {
        line.erase(std::min(line.find("//"), line.size()));
        line.erase(line.find_last_not_of(" \t\r") + 1);
        std::string head;
        if (!(std::istringstream(line) >> head)) continue;
        bool quoted = line.find('"') != std::string::npos;
        if (block == Block::None) {
            if (line.find("MAINMENU MENU") == 0) block = Block::Menu;
            if (head == "STRINGTABLE") block = Block::Strings;
            if (line.find("IDD_URL_INPUT DIALOG") == 0) block = Block::Dialog;
        } else if (head == "BEGIN") {
            ++depth;
        } else if (head == "END") {
            if (--depth == 0) block = Block::None;
        } else if (block == Block::Dialog) {
            if (quoted) dialogTexts.push_back(Quoted(line));
        } else if (block == Block::Strings) {
            if (quoted) strings[head] = Quoted(line);
        } else if (head == "POPUP" && quoted) {
            menu.push_back(Describe(depth - 1, MenuRowKind::Popup, Quoted(line), "0"));
        } else if (head == "MENUITEM" && line.find("SEPARATOR") != std::string::npos) {
            menu.push_back(Describe(depth - 1, MenuRowKind::Separator, "", "0"));
        } else if (head == "MENUITEM" && quoted) {
            std::string id = line.substr(line.find_last_of(", \t") + 1);  // the last word
            menu.push_back(Describe(depth - 1, MenuRowKind::Item, Quoted(line), id));
        } else {
            errors.push_back("not understood in the menu: " + line);
        }
    }
    if (menu.empty()) errors.push_back("no MAINMENU MENU block");

    auto rows = poremisu::MainMenuRows();
    for (std::size_t i = 0; i < std::max(rows.size(), menu.size()); ++i) {
        std::string expected = "(nothing)", found = i < menu.size() ? menu[i] : "(nothing)";
        if (i < rows.size()) {
            std::string caption(poremisu::Utf8(rows[i].caption));
            expected = Describe(rows[i].level, rows[i].kind, caption, std::to_string(rows[i].id));
        }
        if (expected != found) {
            errors.push_back("menu row " + std::to_string(i) + ": the command table has " + expected +
                             ", the script has " + found);
        }
    }

    // The same texts, once compiled into the core and once in the resources.
    poremisu::Texts texts = poremisu::Texts::Make([](std::string_view utf8) { return std::string(utf8); });
    const std::pair<std::string, const std::string*> named[] = {
        {"IDS_SYSMENU_URLINPUT", &texts.sysMenuUrlInput},
        {"IDS_SYSMENU_MENUSET", &texts.sysMenuMenuSet},
        {"IDS_SYSMENU_HELP", &texts.sysMenuHelp}};
    for (const auto& [name, text] : named) {
        if (strings[name] != *text) errors.push_back(name + " is \"" + strings[name] + "\", not " + *text);
    }
    for (const std::string* text : {&texts.urlInputCaption, &texts.versionLabel}) {
        if (std::find(dialogTexts.begin(), dialogTexts.end(), *text) == dialogTexts.end()) {
            errors.push_back("the address dialog lacks the text \"" + *text + "\"");
        }
    }

    for (const std::string& error : errors) std::printf("%s\n", error.c_str());
    if (!errors.empty()) return 1;
    std::printf("MAINMENU: %zu rows match the command table, and so do the texts\n", menu.size());
    return 0;
}
