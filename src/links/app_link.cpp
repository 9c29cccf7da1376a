#include "links/app_link.h"

#include "links/tel_link.h"

#include <cstdlib>

namespace kestrium_dial {

namespace {

constexpr std::string_view kDialWord = "dial";

// Cut to at most `bytes`, never inside a UTF-8 sequence.
std::string CutBetweenCharacters(std::string_view text, std::size_t bytes)
{
    if (text.size() <= bytes)
        return std::string(text);
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80)
        --bytes;
    return std::string(text.substr(0, bytes));
}

AppCommand Invalid(std::string problem)
{
    AppCommand command;
    command.problem = std::move(problem);
    return command;
}

} // namespace

std::string AppSocketPath()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime ? std::string(runtime) + "/kestrium.sock" : std::string();
}

std::string DialCommand(std::string_view number, std::string_view name)
{
    return std::string(kDialWord) + '\t' + std::string(number) + '\t'
        + CutBetweenCharacters(name, kMaxNameBytes);
}

AppCommand ParseAppCommand(std::string_view line)
{
    if (line == kShowCommand) {
        AppCommand show;
        show.kind = AppCommand::Kind::Show;
        return show;
    }
    const std::size_t numberStart = kDialWord.size() + 1;
    if (!line.starts_with(std::string(kDialWord) + '\t'))
        return Invalid("unknown command");
    const std::size_t tab = line.find('\t', numberStart);
    const std::string_view number
        = line.substr(numberStart, tab == std::string_view::npos ? tab : tab - numberStart);
    const std::string_view name = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    if (const LinkProblem problem = CheckNumber(number); problem != LinkProblem::None)
        return Invalid(LinkProblemText(problem));
    if (HasControlCharacter(name))
        return Invalid("the name holds a control character");
    AppCommand dial;
    dial.kind = AppCommand::Kind::Dial;
    dial.number = number;
    dial.name = CutBetweenCharacters(name, kMaxNameBytes);
    return dial;
}

} // namespace kestrium_dial
