// The order in which the control's events reach the window, from what an
// engine reports of its loads.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "browser/PageLoad.h"

namespace poremisu::test {
namespace {

// Plays an engine's reports, one word and an address a step, and writes down
// what the window is told and what the engine is asked to do.
struct Player : BrowserEvents {
    Player() : load(PageLanguage::English, [](std::string_view text) { return std::string(text); }) {
        load.SetEvents(this);
    }

    void OnDownloadBegin() override { Say("begin"); }
    void OnDocumentComplete() override { Say("complete " + load.LocationUrl(shown) + " " + load.LocationName("")); }
    void OnNewWindow2(const std::string&) override {}
    void OnStatusTextChange(const std::string& text, StatusOrigin origin) override {
        Say((origin == StatusOrigin::Control ? "link '" : "status '") + text + "'");
    }
    void Say(const std::string& what) { told += (told.empty() ? "" : ", ") + what; }

    std::string Play(const std::string& script) {
        std::istringstream steps(script);
        std::string verb, uri;
        while (steps >> verb) {
            if (verb != "step" && verb != "title" && verb != "due" && verb != "hang") steps >> uri;
            if (verb == "ask") load.Asked(uri);
            else if (verb == "step") load.Asked(std::nullopt);
            else if (verb == "own") load.OwnPageAsked(uri);
            else if (verb == "cert") load.CertificateFailed(uri);
            else if (verb == "start") load.Started(shown = uri);
            else if (verb == "redirect") load.Redirected(shown = uri);
            else if (verb == "fail" || verb == "cancel" || verb == "unreadable") {
                std::optional<LoadFailure> why;
                if (verb != "cancel") why = verb == "fail" ? LoadFailure::Refused : LoadFailure::UnreadableName;
                if (auto page = load.Failed(uri, why, "")) Say("error page under " + page->underUri);
            } else if (verb == "finish" || verb == "untitled") {
                auto after = load.Finished(shown = uri, verb == "finish");
                if (after.completeFolderSoon) Say("folder soon");
                if (after.errorPage) Say("error page under " + after.errorPage->underUri);
                if (after.askTitle) Say("ask title " + std::to_string(after.askTitle));
            } else if (verb == "title") load.TitleKnown();
            else if (verb == "answer") load.TitleAnswered(std::stoul(uri), "T");
            else if (verb == "folder") load.FolderAnswered(uri, "name");
            else if (verb == "due") load.FolderDue();
            else if (verb == "hover") load.LinkHovered(uri == "-" ? "" : uri);
            else if (verb == "hang") Say("reload " + load.ReloadAfterHang().value_or("none"));
            else ADD_FAILURE() << "no such step: " << verb;
        }
        return told;
    }

    PageLoad load;
    std::string shown, told;
};

TEST(PageLoad, RaisesOneStartAndOneCompletionPerNavigationInTheOrderTheWindowNeeds) {
    const std::string page = "ask a start a finish a ";
    const std::string pageTold = "begin, status 'Opening a...', status 'Done', complete a ";
    const struct {
        const char* name;
        std::string script, told;
    } cases[] = {
        {"a titled page", page, pageTold},
        {"a redirect names the new address", "ask a start a redirect b finish b",
         "begin, status 'Opening a...', status 'Opening b...', status 'Done', complete b "},
        {"held for its title, completed on the answer", "ask a start a untitled a answer 1",
         "begin, status 'Opening a...', ask title 1, status 'Done', complete a T"},
        {"held, completed when the title comes", "start a untitled a title answer 1",
         "begin, status 'Opening a...', ask title 1, status 'Done', complete a "},
        // The next load has put its address on the engine already.
        {"held, completed under its own address when the next starts", "start a untitled a ask b start b",
         "begin, status 'Opening a...', ask title 1, status 'Done', complete a , begin, status 'Opening b...'"},
        {"a second untitled finish asks once", "start a untitled a untitled a answer 1",
         "begin, status 'Opening a...', ask title 1, status 'Done', complete a T"},
        {"a failure completes once, with its error page", "ask a start a fail a finish a start a finish a",
         "begin, status 'Opening a...', error page under a, status 'Done', complete a "},
        {"an error page that fails completes as it is", "start a fail a finish a start a fail a finish a",
         "begin, status 'Opening a...', error page under a, status 'Done', complete a "},
        {"a name that is no text goes under a blank page", "start a unreadable a finish a",
         "begin, status 'Opening a...', error page under about:blank"},
        {"a refused port ends blank and gets its page", "start http://h:6000/ finish about:blank start about:blank "
         "finish about:blank", "begin, status 'Opening http://h:6000/...', error page under about:blank, "
         "status 'Done', complete about:blank "},
        {"a blank page of no port is a page", "start about:blank finish about:blank",
         "begin, status 'Opening about:blank...', status 'Done', complete about:blank "},
        {"cancelled: nothing completes", "start a cancel a finish a",
         "begin, status 'Opening a...', status ''"},
        {"replaced by a newer load: its failure shows nothing", "ask a start a ask b fail a finish a",
         "begin, status 'Opening a...', status ''"},
        {"the program's own page is silent", page + "own a start a finish a", pageTold + ", status ''"},
        {"the program's own page that fails is silent", page + "own a start a fail a finish a",
         pageTold + ", status ''"},
        {"a load asked after the own page ends its silence", page + "own a ask b start b finish b",
         pageTold + ", begin, status 'Opening b...', status 'Done', complete b "},
        {"a distrusted certificate shows its own page, silent", "ask h start h cert h fail h finish h start h finish h",
         "begin, status 'Opening h...', status ''"},
        {"a folder completes under its address and name", "ask f start f folder f cancel f finish f due",
         "begin, status 'Opening f...', status '', folder soon, begin, complete f name"},
        {"a page held for its title completes before the folder", "start a untitled a folder f due",
         "begin, status 'Opening a...', ask title 1, status 'Done', complete a , begin, complete f name"},
        {"a folder is replaced by a newer load", "ask f start f folder f cancel f finish f ask g due",
         "begin, status 'Opening f...', status '', folder soon"},
        {"a folder is replaced by a load that starts", "start f folder f start g finish g due",
         "begin, status 'Opening f...', begin, status 'Opening g...', status 'Done', complete g "},
        {"a link holds the status until the pointer leaves", "hover L start a hover - finish a",
         "link 'L', begin, status 'Opening a...', status 'Done', complete a "},
        {"the same link twice is told once", "hover L hover L", "link 'L'"},
        {"off a link after the completion, the status is empty", page + "hover L hover -",
         pageTold + ", link 'L', status ''"},
        {"a hung page process reloads the newest load", "ask a start a ask b hang", "begin, status 'Opening a...', "
         "reload b"},
        {"only a load asked since the start", "ask a start a hang", "begin, status 'Opening a...', reload none"},
        {"not a step back or forth", "ask a start a step hang", "begin, status 'Opening a...', reload none"},
    };
    for (const auto& c : cases) {
        Player player;
        EXPECT_EQ(player.Play(c.script), c.told) << c.name;
    }
}

}  // namespace
}  // namespace poremisu::test
