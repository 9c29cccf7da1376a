#include "store/phone_label_store.h"

#include "store/text_file_reader.h"
#include "store/text_limit.h"

namespace {

constexpr std::array<std::string_view, PhoneLabelStore::kLabelCount> kDefaultLabels
    = { "Home", "Work", "Mobile", "Pager", "Other", "Skype", "SIP", "GTalk", "MSN", "IPPhone", "OtherIP",
          "Fax", "Email", "Main" };

bool IsWhiteSpace(int c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The next run of non-blank bytes; false at the end of the data.
bool ReadWord(TextFileReader& reader, std::string& word)
{
    word.clear();
    int c = reader.Get();
    while (c != TextFileReader::kEnd && IsWhiteSpace(c))
        c = reader.Get();
    for (; c != TextFileReader::kEnd && !IsWhiteSpace(c); c = reader.Get()) {
        if (word.size() <= PhoneLabelStore::kLabelLimit + 4)
            word.push_back(static_cast<char>(c));
    }
    return !word.empty();
}

} // namespace

PhoneLabelStore::PhoneLabelStore()
{
    for (int i = 0; i < kLabelCount; ++i)
        m_labels[i] = kDefaultLabels[i];
}

void PhoneLabelStore::Load(const std::filesystem::path& file)
{
    TextFileReader reader(file);
    if (!reader.IsOpen())
        return;
    std::string word;
    for (int i = 0; i < kLabelCount && ReadWord(reader, word); ++i)
        m_labels[i] = CutToLimit(word, kLabelLimit);
}

std::string_view PhoneLabelStore::GetLabel(int index) const
{
    return index >= 0 && index < kLabelCount ? std::string_view(m_labels[index]) : std::string_view{};
}
