#include "app/list/UnplayableNotes.h"

#include <filesystem>

#include "app/list/RecordingListModel.h"
#include "app/window/Resource.h"
#include "support/RegularFile.h"
#include "support/StringTable.h"

namespace fs = std::filesystem;

UnplayableNotes::UnplayableNotes(RecordingListModel& model, const ShowNote& showNote)
    : m_model(model), m_showNote(showNote) {}

std::pair<int, int> UnplayableNotes::ReasonIds(const std::string& path) {
    std::error_code error;
    if (!fs::exists(path, error)) return {IDS_GONE_KO, IDS_GONE_EN};
    if (fs::is_regular_file(path, error) && fs::file_size(path, error) == 0) {
        return {IDS_EMPTY_FILE_KO, IDS_EMPTY_FILE_EN};
    }
    if (!IsReadableRegularFile(path)) return {IDS_UNREADABLE_KO, IDS_UNREADABLE_EN};
    return {IDS_NOT_RECORDING_KO, IDS_NOT_RECORDING_EN};
}

QString UnplayableNotes::ReasonText(const std::string& path) {
    const auto [koreanId, englishId] = ReasonIds(path);
    const std::string name = fs::path(path).filename().string();
    return QString::fromStdString(
        FormatResourceString(PickStringId(koreanId, englishId), name.c_str()));
}

void UnplayableNotes::Note(const std::string& path) {
    m_strUnplayableReason = ReasonText(path);
    m_strLastUnplayable = fs::path(path).filename().string();
    ++m_nUnplayableInRun;
    m_model.MarkUnplayable(QString::fromStdString(path), m_strUnplayableReason);
}

void UnplayableNotes::ShowRunNote() {
    if (m_nUnplayableInRun == 0) return;
    if (m_nUnplayableInRun == 1) {
        m_showNote(m_strUnplayableReason, false);
    } else {
        m_showNote(QString::fromStdString(
                       FormatResourceString(PickStringId(IDS_SKIPPED_KO, IDS_SKIPPED_EN),
                                            m_nUnplayableInRun, m_strLastUnplayable.c_str())),
                   false);
    }
    m_nUnplayableInRun = 0;
}
