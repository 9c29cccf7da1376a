#include "dialog_info.h"

#include <expat.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>

namespace tapi {

namespace {

constexpr std::string_view kNamespace = "urn:ietf:params:xml:ns:dialog-info";
constexpr std::size_t kMaxText = 256;
constexpr char kSeparator = ' '; // between an element's namespace and its local name

// The parse of one document: expat calls these handlers with the reader as user data.
class Reader {
public:
    explicit Reader(XML_Parser parser)
        : m_parser(parser)
    {
    }

    static void OnStart(void* data, const XML_Char* name, const XML_Char** attributes)
    {
        static_cast<Reader*>(data)->Start(name, attributes);
    }
    static void OnEnd(void* data, const XML_Char*) { static_cast<Reader*>(data)->End(); }
    static void OnText(void* data, const XML_Char* text, int length)
    {
        auto* self = static_cast<Reader*>(data);
        if (self->m_text)
            self->Append(*self->m_text, std::string_view(text, std::size_t(length)));
    }
    static void OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int)
    {
        static_cast<Reader*>(data)->Fail("a document type declaration is not accepted");
    }

    void Fail(std::string reason)
    {
        if (m_error.empty())
            m_error = std::move(reason);
        XML_StopParser(m_parser, XML_FALSE);
    }

    DialogInfo info;
    bool sawRoot = false;
    std::string m_error;

private:
    // The local name of an element of the dialog-info namespace; empty for any other.
    static std::string_view LocalName(const XML_Char* name)
    {
        const std::string_view full(name);
        const auto split = full.find(kSeparator);
        if (split == std::string_view::npos || full.substr(0, split) != kNamespace)
            return {};
        return full.substr(split + 1);
    }

    static const char* Attribute(const XML_Char** attributes, const char* wanted)
    {
        for (; attributes[0]; attributes += 2)
            if (std::strcmp(attributes[0], wanted) == 0)
                return attributes[1];
        return nullptr;
    }

    void Append(std::string& to, std::string_view text)
    {
        to.append(text.substr(0, kMaxText - std::min(kMaxText, to.size())));
    }

    void Set(std::string& to, const char* value)
    {
        to.clear();
        if (value)
            Append(to, value);
    }

    void Start(const XML_Char* name, const XML_Char** attributes)
    {
        const std::string_view local = LocalName(name);
        m_path.emplace_back(local);
        m_text = nullptr;
        if (m_path.size() == 1) {
            StartRoot(local, attributes);
        } else if (m_path.size() == 2 && local == "dialog") {
            StartDialog(attributes);
        } else if (m_dialog && m_path.size() == 3 && local == "state") {
            m_dialog->state.clear();
            m_text = &m_dialog->state;
        } else if (m_dialog && m_path.size() == 4 && m_path[2] == "remote" && local == "identity") {
            m_dialog->remoteIdentity.clear();
            m_text = &m_dialog->remoteIdentity;
        } else if (m_dialog && m_path.size() == 4 && m_path[2] == "remote" && local == "target") {
            Set(m_dialog->remoteTarget, Attribute(attributes, "uri"));
        }
    }

    void StartRoot(std::string_view local, const XML_Char** attributes)
    {
        if (local != "dialog-info")
            return Fail("the root element is not dialog-info");
        sawRoot = true;
        const char* version = Attribute(attributes, "version");
        const char* state = Attribute(attributes, "state");
        const char* end = version ? version + std::strlen(version) : nullptr;
        if (!version || std::from_chars(version, end, info.version).ptr != end || end == version)
            return Fail("dialog-info has no valid version");
        if (!state || (std::strcmp(state, "full") != 0 && std::strcmp(state, "partial") != 0))
            return Fail("dialog-info's state is neither full nor partial");
        info.full = std::strcmp(state, "full") == 0;
        Set(info.entity, Attribute(attributes, "entity"));
    }

    void StartDialog(const XML_Char** attributes)
    {
        if (info.dialogs.size() == kMaxDialogInfoDialogs)
            return Fail("more than " + std::to_string(kMaxDialogInfoDialogs) + " dialogs");
        const char* id = Attribute(attributes, "id");
        if (!id || !*id)
            return Fail("a dialog has no id");
        m_dialog = &info.dialogs.emplace_back();
        Set(m_dialog->id, id);
        Set(m_dialog->callId, Attribute(attributes, "call-id"));
        Set(m_dialog->localTag, Attribute(attributes, "local-tag"));
        Set(m_dialog->remoteTag, Attribute(attributes, "remote-tag"));
        const char* direction = Attribute(attributes, "direction");
        if (direction && std::strcmp(direction, "initiator") == 0)
            m_dialog->direction = DialogInfoDialog::Direction::Initiator;
        else if (direction && std::strcmp(direction, "recipient") == 0)
            m_dialog->direction = DialogInfoDialog::Direction::Recipient;
    }

    void End()
    {
        if (m_path.size() == 2)
            m_dialog = nullptr;
        m_path.pop_back();
        m_text = nullptr;
    }

    XML_Parser m_parser;
    std::vector<std::string> m_path;
    DialogInfoDialog* m_dialog = nullptr;
    std::string* m_text = nullptr;
};

std::string_view Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool IsEarly(const DialogInfoDialog& dialog)
{
    return Trimmed(dialog.state) == "early";
}

// A text the server sent that may go into a header of ours as it stands: printable, no blank, and
// none of the characters that would end or extend the header's value.
bool FitsHeader(std::string_view text, std::string_view alsoRefused)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [&](char c) {
        return c > ' ' && c < 0x7F && alsoRefused.find(c) == std::string_view::npos;
    });
}

bool IsSipUri(std::string_view uri)
{
    return (uri.starts_with("sip:") || uri.starts_with("sips:")) && FitsHeader(uri, "<>\"\\,?");
}

} // namespace

std::optional<DialogInfo> ParseDialogInfo(std::string_view xml, std::string& error)
{
    if (xml.size() > kMaxDialogInfoBytes) {
        error = "the document is larger than " + std::to_string(kMaxDialogInfoBytes) + " bytes";
        return std::nullopt;
    }
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
        XML_ParserCreateNS(nullptr, kSeparator), &XML_ParserFree);
    if (!parser) {
        error = "out of memory";
        return std::nullopt;
    }
    Reader reader(parser.get());
    XML_SetUserData(parser.get(), &reader);
    XML_SetElementHandler(parser.get(), &Reader::OnStart, &Reader::OnEnd);
    XML_SetCharacterDataHandler(parser.get(), &Reader::OnText);
    XML_SetStartDoctypeDeclHandler(parser.get(), &Reader::OnDoctype);
    const bool parsed = XML_Parse(parser.get(), xml.data(), int(xml.size()), XML_TRUE) == XML_STATUS_OK;
    if (!reader.m_error.empty()) {
        error = reader.m_error;
        return std::nullopt;
    }
    if (!parsed) {
        error = std::string("not well-formed XML: ") + XML_ErrorString(XML_GetErrorCode(parser.get()))
            + " at line " + std::to_string(XML_GetCurrentLineNumber(parser.get()));
        return std::nullopt;
    }
    if (!reader.sawRoot) {
        error = "no dialog-info element";
        return std::nullopt;
    }
    return std::move(reader.info);
}

bool DialogBook::Apply(const DialogInfo& info)
{
    if (m_version && info.version <= *m_version)
        return false;
    m_version = info.version;
    if (info.full)
        m_dialogs.clear();
    for (const DialogInfoDialog& dialog : info.dialogs) {
        if (Trimmed(dialog.state) == "terminated")
            m_dialogs.erase(dialog.id);
        else
            m_dialogs[dialog.id] = dialog;
    }
    return true;
}

void DialogBook::Clear()
{
    m_version.reset();
    m_dialogs.clear();
}

LineActivity DialogBook::Activity() const
{
    bool ringing = false;
    for (const auto& [id, dialog] : m_dialogs) {
        // An early dialog of a call the line places is as busy as a confirmed one.
        if (!IsEarly(dialog) || dialog.direction == DialogInfoDialog::Direction::Initiator)
            return LineActivity::InCall;
        ringing = true;
    }
    return ringing ? LineActivity::Ringing : LineActivity::Idle;
}

std::optional<RingingCall> DialogBook::Ringing() const
{
    for (const auto& [id, dialog] : m_dialogs) {
        if (!IsEarly(dialog) || dialog.direction == DialogInfoDialog::Direction::Initiator)
            continue;
        const std::string caller = std::string(Trimmed(dialog.remoteIdentity));
        const std::string& uri = IsSipUri(caller) ? caller : dialog.remoteTarget;
        if (!IsSipUri(uri) || !FitsHeader(dialog.callId, ";,") || !FitsHeader(dialog.localTag, ";,=?&")
            || !FitsHeader(dialog.remoteTag, ";,=?&"))
            continue;
        // The line's tags are the callee's: its remote tag is the caller's own, the to-tag a
        // Replaces sent to the caller names.
        return RingingCall{ uri,
            dialog.callId + ";to-tag=" + dialog.remoteTag + ";from-tag=" + dialog.localTag };
    }
    return std::nullopt;
}

} // namespace tapi
