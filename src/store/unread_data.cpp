#include "store/unread_data.h"

#include "store/text_file_reader.h"

#include <ctime>

namespace {

std::filesystem::path CopyName(const std::filesystem::path& file)
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, ".unread-%Y%m%d-%H%M%S", &tm);
    std::filesystem::path copy = file;
    copy += stamp;
    return copy;
}

} // namespace

bool PreserveUnreadData(const std::filesystem::path& file, TextFileReader& reader, bool recordCut)
{
    bool dataLeft = !reader.RestIsBlank();
    if (!recordCut && !dataLeft)
        return false;
    std::error_code ec;
    return std::filesystem::copy_file(file, CopyName(file), std::filesystem::copy_options::skip_existing, ec);
}
