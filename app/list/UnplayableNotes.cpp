#include "app/list/UnplayableNotes.h"

#include <filesystem>

#include "app/dialogs/WindowDialogs.h"
#include "app/list/RecordingListModel.h"
#include "app/window/Resource.h"
#include "support/QtText.h"
#include "support/RegularFile.h"
#include "support/StringTable.h"

namespace fs = std::filesystem;

UnplayableNotes::UnplayableNotes(RecordingListModel& model, WindowDialogs& dialogs)
    : m_model(model), m_dialogs(dialogs) {}

TextId UnplayableNotes::Reason(const std::string& path) {
    std::error_code error;
    if (!fs::exists(path, error)) return texts::kGone;
    if (fs::is_regular_file(path, error) && fs::file_size(path, error) == 0) {
        return texts::kEmptyFile;
    }
    if (!IsReadableRegularFile(path)) return texts::kUnreadable;
    return texts::kNotRecording;
}

QString UnplayableNotes::ReasonText(const std::string& path) {
    return Tr(Reason(path), fs::path(path).filename().string());
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
        m_dialogs.ShowNote(m_strUnplayableReason, false);
    } else {
        m_dialogs.ShowNote(Tr(texts::kSkipped, m_nUnplayableInRun, m_strLastUnplayable.c_str()),
                           false);
    }
    m_nUnplayableInRun = 0;
}
