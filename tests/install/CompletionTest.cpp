// SPDX-License-Identifier: MIT
// The installed bash completion, driven as bash drives it with
// bash-completion loaded: it must offer every command, option and choice
// that `embossa --help` names, so the two cannot drift apart, and for each
// argument only the files it can be.
#include <map>
#include <regex>

#include "install/InstallTree.h"

namespace {

using namespace install;

// What the help text says each command takes: the command's words ("convert",
// "pack create"; "" for the program alone) mapped to the options its forms
// and its entry's text name, and to the fixed choices an option lists
// ("--axis xy|xz|yz").
struct HelpOptions {
    std::map<std::string, std::set<std::string>> options;
    std::map<std::string, std::map<std::string, std::set<std::string>>> choices;
    std::set<std::string> commands; // first words of the forms
    std::set<std::string> verbs;    // pack's sub-commands
};

const std::regex kOption(R"((^|[\s\[(])(--?[a-z][a-z0-9-]*))");
const std::regex kChoices(R"(\[(--?[a-z][a-z0-9-]*) ([a-z0-9]+(\|[a-z0-9]+)+)\])");

// The command words at the start of `form` ("pack create ARCHIVE ..." gives
// "pack create"), and what follows them.
std::pair<std::string, std::string> splitCommand(const std::string& form) {
    std::istringstream in(form);
    std::string key, word;
    size_t used = 0;
    while (in >> word && std::regex_match(word, std::regex("[a-z]+"))) {
        key += (key.empty() ? "" : " ") + word;
        used = size_t(in.tellg());
    }
    return {key, form.substr(std::min(used, form.size()))};
}

void collect(HelpOptions& help, const std::string& key, const std::string& text) {
    for (std::sregex_iterator it(text.begin(), text.end(), kOption), end; it != end; ++it)
        help.options[key].insert((*it)[2]);
    for (std::sregex_iterator it(text.begin(), text.end(), kChoices), end; it != end; ++it) {
        std::istringstream in((*it)[2].str());
        for (std::string choice; std::getline(in, choice, '|');)
            help.choices[key][(*it)[1]].insert(choice);
    }
}

HelpOptions readHelp(const std::string& text) {
    HelpOptions help;
    bool synopsis = false;
    std::vector<std::string> forms;
    std::string key; // the entry whose text is being read
    for (const std::string& line : lines(text)) {
        if (line.rfind("Usage: ", 0) == 0) {
            synopsis = true;
            forms.push_back(line.substr(7));
            continue;
        }
        if (synopsis) {
            if (line.find_first_not_of(' ') == std::string::npos) {
                synopsis = false;
            } else if (line.find_first_not_of(' ') == line.find("embossa")) {
                forms.push_back(line);
            } else {
                forms.back() += " " + line;
            }
            continue;
        }
        if (line.rfind("  ", 0) == 0 && line.size() > 2 && line[2] != ' ') {
            // An entry: a command form, or a global option with its text.
            const std::string entry = line.substr(2);
            key = entry[0] == '-' ? "" : splitCommand(entry).first;
            collect(help, key, entry[0] == '-' ? entry.substr(0, entry.find(' ')) : entry);
        } else if (line.rfind("   ", 0) == 0) {
            collect(help, key, line);
        } else {
            key.clear();
        }
    }
    for (std::string form : forms) {
        form = form.substr(form.find("embossa") + 7);
        // Options before the command words are the program's own.
        static const std::regex global(R"(^\s*(\[--?[a-z][a-z-]* [A-Z]+\]\s*)*)");
        std::smatch lead;
        std::regex_search(form, lead, global);
        collect(help, "", lead.str());
        const auto [command, rest] = splitCommand(form.substr(size_t(lead.length())));
        collect(help, command, rest);
        if (command.empty()) continue;
        help.commands.insert(command.substr(0, command.find(' ')));
        if (command.rfind("pack ", 0) == 0) help.verbs.insert(command.substr(5));
    }
    return help;
}

class CompletionTest : public InstalledTree {
protected:
    void SetUp() override {
        InstalledTree::SetUp();
        const Outcome help = run({installed("bin/embossa").string(), "--help"});
        ASSERT_EQ(help.status, 0);
        help_ = readHelp(help.output);

        // A folder with one file of each kind an argument may or may not be.
        files_ = scratch() / "files";
        fs::create_directories(files_ / "folder");
        for (const char* name : {"rings.png", "scan.JPG", "sky.hdr", "notes.txt", "tone.wav",
                                 "loop.ogg", "assets.pack", "old.obj", "part.stl", "mesh.ply"})
            TempFolder::writeBytes(files_ / name, "");
    }

    // The candidates bash would offer for `line`, the cursor at its end.
    std::set<std::string> complete(const std::string& line) const {
        const Outcome outcome = shell(
            "cd " + quoted(files_.string()) + " && " +
            commandLine({EMBOSSA_SOURCE_DIR "/tests/install/data/complete-words",
                         installed("share/bash-completion/completions/embossa").string(), line}));
        EXPECT_EQ(outcome.status, 0) << line << "\n" << outcome.output;
        const std::vector<std::string> offered = lines(outcome.output);
        return {offered.begin(), offered.end()};
    }

    static bool includes(const std::set<std::string>& all, const std::set<std::string>& part) {
        return std::includes(all.begin(), all.end(), part.begin(), part.end());
    }

    HelpOptions help_;
    fs::path files_;
};

TEST_F(CompletionTest, OffersEveryCommandOptionAndChoiceTheHelpNames) {
    // Guards the reading of the help text itself.
    ASSERT_TRUE(help_.commands.count("convert"));
    ASSERT_TRUE(help_.options["convert"].count("--axis"));
    ASSERT_TRUE(help_.options[""].count("--log"));
    ASSERT_TRUE(help_.choices["convert"].count("--axis"));

    EXPECT_TRUE(includes(complete("embossa "), help_.commands));
    EXPECT_TRUE(includes(complete("embossa pack "), help_.verbs));
    for (const auto& [command, options] : help_.options) {
        const std::string words = "embossa " + command + (command.empty() ? "" : " ");
        const std::set<std::string> offered = complete(words + "-");
        for (const std::string& option : options)
            EXPECT_TRUE(offered.count(option)) << "'" << words << "-' does not offer " << option;
    }
    for (const auto& [command, byOption] : help_.choices)
        for (const auto& [option, choices] : byOption)
            EXPECT_EQ(complete("embossa " + command + " " + option + " "), choices) << option;
}

TEST_F(CompletionTest, OffersOnlyTheFilesEachArgumentCanBe) {
    using Set = std::set<std::string>;
    const Set images = {"rings.png", "scan.JPG", "sky.hdr", "assets.pack", "folder"};
    Set first = complete("embossa ");
    for (const char* command : {"convert", "pack", "script", "play"}) first.erase(command);
    EXPECT_EQ(first, images);
    EXPECT_EQ(complete("embossa convert rings.png "), images);
    EXPECT_EQ(complete("embossa convert rings.png -o "),
              Set({"old.obj", "part.stl", "mesh.ply", "folder"}));

    EXPECT_EQ(complete("embossa pack list "), Set({"assets.pack", "folder"}));
    EXPECT_EQ(complete("embossa pack extract assets.pack "), Set({"folder"}));
    EXPECT_EQ(complete("embossa pack create new.pack ").size(), 11u);

    EXPECT_EQ(complete("embossa play "), Set({"tone.wav", "loop.ogg", "assets.pack", "folder"}));
    EXPECT_EQ(complete("embossa play tone.wav "), Set());
    EXPECT_EQ(complete("embossa play tone.wav --render "), Set({"tone.wav", "folder"}));
    EXPECT_EQ(complete("embossa play tone.wav --volume "), Set());
    EXPECT_EQ(complete("embossa convert --grid "), Set());
}

// Options and their values may stand anywhere before "--", and a path with
// a colon in it (an archive entry, a file name) is one word.
TEST_F(CompletionTest, ReadsTheWordsBeforeTheCursorAsTheProgramDoes) {
    using Set = std::set<std::string>;
    // The value of an option is not the sound, nor a positional argument.
    EXPECT_EQ(complete("embossa play --volume 0.5 "),
              Set({"tone.wav", "loop.ogg", "assets.pack", "folder"}));
    EXPECT_EQ(complete("embossa pack extract --force assets.pack "), Set({"folder"}));
    // --log takes the next word whatever it is, colons included.
    EXPECT_TRUE(complete("embossa --log convert ").count("convert"));
    EXPECT_EQ(complete("embossa --log run:1.log convert "),
              Set({"rings.png", "scan.JPG", "sky.hdr", "assets.pack", "folder"}));
    EXPECT_EQ(complete("embossa convert assets.pack:rings.png -o "),
              Set({"old.obj", "part.stl", "mesh.ply", "folder"}));
    // After "--" nothing is an option.
    EXPECT_EQ(complete("embossa convert -- -"), Set());
    EXPECT_EQ(complete("embossa script -"), Set({"-"}));
}

} // namespace
