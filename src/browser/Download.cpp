#include "browser/Download.h"

#include <algorithm>

#include "app/Text.h"

namespace poremisu {

std::string PartPath(const std::string& path, const std::function<bool(const std::string&)>& taken) {
    std::string part = path + ".part";
    for (int i = 1; taken(part) && i < 100; ++i) part = path + ".part" + std::to_string(i);
    return part;
}

bool CutShort(std::uint64_t announced, std::uint64_t received, std::optional<std::string_view> contentCoding) {
    const bool plain = !contentCoding || EqualsFoldAscii(*contentCoding, "identity");
    return plain && announced > 0 && received < announced;
}

std::string DownloadStatusText(PageLanguage language, DownloadStage stage, std::string_view name,
                               std::string_view detail, std::uint64_t received, std::uint64_t total) {
    const bool japanese = language == PageLanguage::Japanese;
    auto say = [japanese](std::u8string_view ja, std::string_view en) {
        return std::string(japanese ? Utf8(ja) : en);
    };
    const std::string file(name);
    switch (stage) {
    case DownloadStage::Saving: return say(u8"ダウンロード中: ", "Downloading: ") + file;
    case DownloadStage::Progress: {
        const std::string amount = total > 0 ? std::to_string(std::min<std::uint64_t>(received * 100 / total, 100)) + "%"
                                             : std::to_string(received / 1024) + " KB";
        return say(u8"ダウンロード中 ", "Downloading ") + amount + ": " + file;
    }
    case DownloadStage::Cancelled: return say(u8"ダウンロードを取り消しました: ", "Download cancelled: ") + file;
    case DownloadStage::Failed:
        return say(u8"ダウンロードに失敗しました: ", "Download failed: ") + file + " (" + std::string(detail) + ")";
    case DownloadStage::CutShort:
        return say(u8"ダウンロードに失敗しました: ", "Download failed: ") + file +
               say(u8" (途中で切れました)", " (cut short)");
    case DownloadStage::NotSaved:
        return say(u8"ダウンロードに失敗しました: ", "Download failed: ") + file +
               say(u8" (保存できませんでした)", " (could not be saved)");
    case DownloadStage::Saved: return say(u8"ダウンロード完了: ", "Download complete: ") + file;
    }
    return file;
}

}  // namespace poremisu
