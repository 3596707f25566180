#include "cli/cli_app.h"
#include "cli/cli_namespace.h"

#include "engine/convert_engine.h"
#include "engine/option_fields.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova::cli {

namespace {

std::atomic<CConvertEngine*> runningEngine{nullptr};

void OnInterrupt(int) {
    if (CConvertEngine* engine = runningEngine.load()) {
        engine->RequestCancel();
    }
}

int FileSize(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return -1;
    }
    return info.st_size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(info.st_size);
}

// Texts may hold line breaks; on one stderr line they read better as " / ".
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() != ' ') {
                line += ' ';
            }
        } else {
            line += c;
        }
    }
    return line;
}

// Reports the worker's notifications: a redrawn one-line bar on a terminal, plain lines
// otherwise. Called on the worker thread while the main thread waits.
class CliObserver : public IConvertObserver {
public:
    CliObserver(std::ostream& err, const std::vector<ConvertObject*>& entries, bool quiet,
                bool terminal)
        : err(err), entries(entries), quiet(quiet), terminal(terminal),
          total(3 * static_cast<int>(entries.size())) {}

    void ShowFileName(int id) override {
        for (const ConvertObject* e : entries) {
            if (e->id == id) {
                const std::string& p = e->path;
                state = "..." + (p.size() > 30 ? p.substr(p.size() - 30) : p);
                Show();
                return;
            }
        }
        state = "object not found error...";
        Show();
    }
    void IncrementProgress(int steps) override {
        position += steps;
        Show();
    }
    void FinishedConvert() override {
        if (terminal && !quiet && drawn) {
            err << "\r\033[K" << std::flush;
        }
        drawn = false;
    }
    void ShowState(const char* text) override {
        state = text;
        Show();
    }
    // Clears the bar before a message line is printed, so the two do not mix.
    void Interrupt() {
        if (terminal && drawn) {
            err << "\r\033[K";
            drawn = false;
        }
    }

private:
    void Show() {
        if (quiet) {
            return;
        }
        if (!terminal) {
            if (state != lastPrinted) {
                err << "[" << position << "/" << total << "] " << state << "\n";
                lastPrinted = state;
            }
            return;
        }
        constexpr int kBarWidth = 30;
        int filled = total > 0 ? position * kBarWidth / total : kBarWidth;
        std::string bar(static_cast<size_t>(filled), '#');
        bar.resize(kBarWidth, '-');
        std::string line =
            "[" + bar + "] " + std::to_string(position) + "/" + std::to_string(total) + " " + state;
        if (line.size() > 110) {
            line.resize(110);
        }
        err << "\r\033[K" << line << std::flush;
        drawn = true;
    }

    std::ostream& err;
    const std::vector<ConvertObject*>& entries;
    bool quiet, terminal;
    int total;
    int position = 0;
    bool drawn = false;
    std::string state;
    std::string lastPrinted;
};

enum class Answer { Ask, Yes, No };

class CliPrompt : public IConvertPrompt {
public:
    CliPrompt(std::ostream& err, Answer answer, std::string savePath)
        : err(err), answer(answer), savePath(std::move(savePath)) {}
    void SetObserver(CliObserver* o) { observer = o; }

    void ShowMessage(const std::string& text, const std::string& caption) override {
        Clear();
        err << "kestrova-cli: " << OneLine(text);
        if (!caption.empty()) {
            err << " (" << OneLine(caption) << ")";
        }
        err << "\n" << std::flush;
        ++messages;
    }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        Clear();
        std::string question = OneLine(caption.empty() ? text : caption + ": " + text);
        if (answer != Answer::Ask) {
            err << "kestrova-cli: " << question << " " << (answer == Answer::Yes ? "yes" : "no")
                << "\n";
            return answer == Answer::Yes;
        }
        err << "kestrova-cli: " << question << " [y/N] " << std::flush;
        std::string reply;
        if (!std::getline(std::cin, reply)) {
            return false;
        }
        return !reply.empty() && (reply[0] == 'y' || reply[0] == 'Y');
    }
    bool ChooseSavePath(std::string& path) override {
        path = savePath;
        return !savePath.empty();
    }

private:
    void Clear() {
        if (observer != nullptr) {
            observer->Interrupt();
        }
    }
    std::ostream& err;
    Answer answer;
    std::string savePath;
    CliObserver* observer = nullptr;
    int messages = 0;
};

int ProcessWideNextId() {
    static int next = 1;
    return next++;
}

// What the command line asked for.
struct CliArgs {
    std::vector<std::string> files;
    std::string single;
    std::string optionsFile;
    std::vector<std::string> settings;
    std::string ruffleUrl;
    bool saveOptions = false, printOptions = false, yes = false, no = false, quiet = false;
    bool html = false;
    int jobs = 0; // 0: not given
};

std::string OptionNamesFooter() {
    std::string names;
    size_t column = 2;
    for (const std::string& name : OptionFieldNames()) {
        if (name.rfind("format.", 0) == 0) {
            continue;
        }
        if (column + name.size() > 90) {
            names += "\n  ";
            column = 2;
        }
        names += name + " ";
        column += name.size() + 1;
    }
    return "Option names for --set:\n  " + names +
           "\n  format.EXT.{soundFlag,swfFramesPerImage,smallQuality,smallCompression,"
           "smallFileLimitKb,quality,compression}\n" +
           "Exit status: 0 all converted, 1 some entry failed, 2 bad usage.";
}

// Parses the arguments into args; an exit status when the program ends here (help, bad usage).
std::optional<int> ParseArguments(int argc, char** argv, CliArgs& args, std::ostream& out,
                                  std::ostream& err) {
    CLI::App app{"Kestrova converts pictures, sounds and movies into SWF (Flash) movies.",
                 "kestrova-cli"};
    app.add_option("FILE", args.files, "Files to convert, in list order");
    app.add_option("-o,--single", args.single,
                   "One movie for the whole list, written to OUT (.swf is added or put in "
                   "place of another extension); without it one movie is written beside each "
                   "source")
        ->type_name("OUT");
    app.add_option("--options", args.optionsFile,
                   "Options file to read (default: the user's options file; a missing file "
                   "means defaults)")
        ->type_name("FILE");
    app.add_option("--set", args.settings,
                   "Set one option, repeatable: a field of the options record (frameRate=24, "
                   "backgroundColor=#336699, usePreloader=1) or format.EXT.FIELD "
                   "(format.jpg.quality=90, format.png.compression=jpeg)")
        ->type_name("NAME=VALUE")
        // One NAME=VALUE per --set, so that the files after it stay files.
        ->allow_extra_args(false);
    app.add_flag("--html", args.html,
                 "Also write NAME.html beside each movie: a page that plays it with Ruffle, "
                 "from a ruffle/ folder copied beside it");
    app.add_option("--ruffle-url", args.ruffleUrl,
                   "Let the pages load Ruffle from URL (a folder holding ruffle.js, or the "
                   "script's own address) instead of a copied ruffle/ folder")
        ->type_name("URL");
    CLI::Option* jobs =
        app.add_option("-j,--jobs", args.jobs,
                       "Prepare up to N entries at the same time, 1 to 64 (default: the options' "
                       "workerThreads, where 0 means one per online core); the movies are the same "
                       "bytes whatever N is")
            ->type_name("N");
    app.add_flag("--save-options", args.saveOptions,
                 "Write the resulting options to the options file");
    app.add_flag("--print-options", args.printOptions,
                 "Print the options in the options file's layout and exit");
    app.add_flag("-y,--yes", args.yes, "Answer the converters' questions with yes");
    app.add_flag("-n,--no", args.no, "Answer the converters' questions with no");
    app.add_flag("-q,--quiet", args.quiet, "No progress output");
    app.footer(OptionNamesFooter());
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        err << "kestrova-cli: " << e.what() << "\n";
        return 2;
    }
    if (args.yes && args.no) {
        err << "kestrova-cli: --yes and --no exclude each other\n";
        return 2;
    }
    if (jobs->count() > 0 && (args.jobs < 1 || args.jobs > kMaxWorkerThreads)) {
        err << "kestrova-cli: --jobs " << args.jobs
            << ": expected a number of worker threads from 1 to " << kMaxWorkerThreads << "\n";
        return 2;
    }
    return std::nullopt;
}

// Reads the options file, applies --set, --html and --ruffle-url, and saves or prints the
// result when asked; an exit status when the program ends here.
std::optional<int> MakeOptions(const CliArgs& args, ConvertOptions& options, std::ostream& out,
                               std::ostream& err) {
    std::string optionsPath = args.optionsFile.empty() ? OptionsFilePath() : args.optionsFile;
    std::vector<std::string> warnings;
    if (!args.optionsFile.empty() && access(args.optionsFile.c_str(), F_OK) == 0 &&
        !options.LoadOptionsFile(args.optionsFile, &warnings)) {
        err << "kestrova-cli: cannot read options file " << args.optionsFile << "\n";
        return 2;
    }
    if (args.optionsFile.empty()) {
        options.LoadOptionsFile(optionsPath, &warnings); // a missing file keeps the defaults
    }
    for (const std::string& warning : warnings) {
        err << "kestrova-cli: warning: options file " << optionsPath << ": " << warning << "\n";
    }
    for (const std::string& setting : args.settings) {
        size_t eq = setting.find('=');
        if (eq == std::string::npos) {
            err << "kestrova-cli: --set " << setting << ": expected NAME=VALUE\n";
            return 2;
        }
        std::string error;
        if (!SetOptionField(options, setting.substr(0, eq), setting.substr(eq + 1), &error)) {
            err << "kestrova-cli: --set " << setting << ": " << error << "\n";
            return 2;
        }
    }
    if (args.html) {
        options.writeHtmlPage = 1;
    }
    if (!args.ruffleUrl.empty()) {
        options.ruffleUrl = args.ruffleUrl;
    }
    if (args.saveOptions && !options.SaveOptionsFile(optionsPath)) {
        err << "kestrova-cli: cannot write options file " << optionsPath << "\n";
        return 1;
    }
    if (args.printOptions) {
        out << options.OptionsFileText();
        return 0;
    }
    if (args.files.empty()) {
        if (args.saveOptions) {
            return 0;
        }
        err << "kestrova-cli: no files given (see --help)\n";
        return 2;
    }
    // -o and --jobs decide the output mode and the worker threads of this run only; the saved
    // and printed options keep what the window last used.
    options.outputMode = args.single.empty() ? OutputIndividual : OutputSingle;
    if (args.jobs != 0) {
        options.workerThreads = args.jobs;
    }
    return std::nullopt;
}

// The convert list of the files, linked in order.
std::vector<std::unique_ptr<ConvertObject>> MakeList(const std::vector<std::string>& files) {
    std::vector<std::unique_ptr<ConvertObject>> list;
    for (const std::string& file : files) {
        auto entry = std::make_unique<ConvertObject>();
        entry->id = ProcessWideNextId();
        entry->path = file;
        entry->size = FileSize(file);
        if (!list.empty()) {
            list.back()->next = entry.get();
            entry->prev = list.back().get();
        }
        list.push_back(std::move(entry));
    }
    return list;
}

// Runs the engine on the list with the signals that stop the program turned into a cancel;
// false when the run was cancelled.
bool Convert(const CliArgs& args, ConvertOptions& options,
             const std::vector<ConvertObject*>& entries, std::ostream& err) {
    Answer answer = args.yes ? Answer::Yes : args.no ? Answer::No : Answer::Ask;
    if (answer == Answer::Ask && !isatty(STDIN_FILENO)) {
        answer = Answer::No;
    }
    bool terminal = &err == &std::cerr && isatty(STDERR_FILENO);
    CliObserver observer(err, entries, args.quiet, terminal);
    CliPrompt prompt(err, answer, args.single);
    prompt.SetObserver(&observer);
    CConvertEngine engine(&prompt);

    // Ctrl+C, a kill and a closed terminal all cancel the conversion, so its temporary folder
    // and any partial movie are removed before the program ends.
    runningEngine = &engine;
    constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
    void (*previous[std::size(kStopSignals)])(int) = {};
    for (size_t i = 0; i < std::size(kStopSignals); ++i) {
        previous[i] = std::signal(kStopSignals[i], OnInterrupt);
    }
    engine.StartConversion(&observer, entries.front(), &options);
    engine.Wait();
    for (size_t i = 0; i < std::size(kStopSignals); ++i) {
        std::signal(kStopSignals[i], previous[i]);
    }
    runningEngine = nullptr;
    observer.Interrupt();

    if (engine.IsCancelRequested()) {
        engine.CancelConversion();
        err << "kestrova-cli: conversion cancelled\n";
        return false;
    }
    return true;
}

// One line per entry and the totals; whether every entry converted.
bool PrintSummary(const std::vector<ConvertObject*>& entries, std::ostream& out) {
    bool allConverted = true;
    long long sourceTotal = 0, convertedTotal = 0;
    for (const ConvertObject* e : entries) {
        allConverted = allConverted && e->result == 1;
        sourceTotal += e->size > 0 ? e->size : 0;
        convertedTotal += e->convertedSize > 0 ? e->convertedSize : 0;
        char size[32];
        if (e->convertedSize >= 0) {
            snprintf(size, sizeof size, "%d Bytes", e->convertedSize);
        } else {
            snprintf(size, sizeof size, "(in single movie)");
        }
        out << e->path << " -> " << e->outputPath << "  " << (e->result ? size : "failed") << "\n";
    }
    char totals[96];
    snprintf(totals, sizeof totals, "Total: %d Kb in, %d Kb out",
             static_cast<int>(sourceTotal / 1000), static_cast<int>(convertedTotal / 1000));
    out << totals << "\n";
    return allConverted;
}

} // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
    CliArgs args;
    if (std::optional<int> exit = ParseArguments(argc, argv, args, out, err)) {
        return *exit;
    }
    ConvertOptions options;
    if (std::optional<int> exit = MakeOptions(args, options, out, err)) {
        return *exit;
    }
    std::vector<std::unique_ptr<ConvertObject>> list = MakeList(args.files);
    std::vector<ConvertObject*> entries;
    for (const auto& entry : list) {
        entries.push_back(entry.get());
    }
    if (!Convert(args, options, entries, err)) {
        return 1;
    }
    return PrintSummary(entries, out) ? 0 : 1;
}

} // namespace kestrova::cli
