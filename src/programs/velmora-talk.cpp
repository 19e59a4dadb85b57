// velmora-talk: converses with a personality of the engine in a terminal, one thought a line on
// stdin, one reply a line on stdout (a tab and the sound name follow when there is one).

#include <cstddef>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/CommandLine.h"
#include "talk/Limits.h"
#include "talk/Talvo.h"

namespace velmora {
namespace {

constexpr std::string_view SwitchCommand = "/personality";
constexpr const char* Usage =
    "usage: velmora-talk [--personality NAME]\n"
    "Reads one thought per line and prints one reply per line, followed by a tab and the sound\n"
    "name when there is one. A line \"/personality NAME\" chooses another personality:\n"
    "MSTechSupport, Brovick, or any other name for the default one.\n";

enum class LineRead { Line, TooLong, End };

// Keeps at most one byte past the limit, so that an endless line costs no more memory.
LineRead readLine(std::streambuf& in, std::string& line)
{
    using Traits = std::streambuf::traits_type;
    line.clear();
    bool sawAny = false;
    for (auto c = in.sbumpc(); !Traits::eq_int_type(c, Traits::eof()); c = in.sbumpc()) {
        sawAny = true;
        if (Traits::to_char_type(c) == '\n')
            break;
        if (line.size() <= MaxTalkLineLength)
            line.push_back(Traits::to_char_type(c));
    }
    if (!sawAny)
        return LineRead::End;
    return line.size() > MaxTalkLineLength ? LineRead::TooLong : LineRead::Line;
}

// True for a "/personality NAME" line, with NAME trimmed into name.
bool isSwitch(std::string_view line, std::string& name)
{
    if (line.substr(0, SwitchCommand.size()) != SwitchCommand)
        return false;
    const std::string_view after = line.substr(SwitchCommand.size());
    if (!after.empty() && static_cast<unsigned char>(after.front()) > 32)
        return false;
    name = Trim(after);
    return true;
}

void answer(TTalvo& talvo, const std::string& line)
{
    // Blank thoughts do not reach the engine, as on the conversation page.
    const std::string thought = Trim(line);
    if (!thought.empty()) {
        std::string sound;
        std::cout << talvo.Respond(thought, sound);
        if (!sound.empty())
            std::cout << '\t' << sound;
    }
    std::cout << '\n' << std::flush;
}

int converse(const std::string& personality)
{
    TTalvo talvo;
    talvo.SelectPersonality(personality);
    int status = 0;
    std::string line;
    std::string name;
    for (size_t number = 1;; ++number) {
        const LineRead read = readLine(*std::cin.rdbuf(), line);
        if (read == LineRead::End)
            return status;
        if (read == LineRead::TooLong) {
            std::cerr << "velmora-talk: line " << number << " is longer than " << MaxTalkLineLength
                      << " bytes; skipped.\n";
            std::cout << '\n' << std::flush;
            status = 1;
        } else if (isSwitch(Trim(line), name)) {
            talvo.SelectPersonality(name);
        } else {
            answer(talvo, line);
        }
    }
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    velmora::UseUtf8Console();
    const std::vector<std::string> args = velmora::ProgramArguments(argc, argv);
    const std::string option = args.empty() ? std::string() : args[0];
    if (args.size() == 1 && (option == "--help" || option == "-h")) {
        std::cout << velmora::Usage;
        return 0;
    }
    if (!args.empty() && !(args.size() == 2 && option == "--personality")) {
        std::cerr << velmora::Usage;
        return 2;
    }
    try {
        return velmora::converse(args.size() == 2 ? args[1] : "Talvo");
    } catch (const std::exception& e) {
        std::cerr << "velmora-talk: " << e.what() << '\n';
        return 1;
    }
}
