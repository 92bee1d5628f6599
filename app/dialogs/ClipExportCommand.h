#pragma once
// Exports a stretch of the timeline as a clip: asks for the tier and options, then for the
// file, refuses a target that is one of the clip's own recordings, and runs the export
// dialog. The tier and options of the last export are offered again. The evidence package of
// the same stretch is the other command here.
//
// GUI thread only. The modal questions are the caller's (the window answers them, tests
// answer them without a nested event loop).

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/dialogs/CExportDlg.h"
#include "library/TripTimeline.h"

class CEvidenceDlg;

class ClipExportCommand {
public:
    // A stretch of the timeline around a moment: the package's span and the picture its
    // stills are taken of. lengthMs is the timeline's (the trip's) length.
    struct Stretch {
        int64_t fromMs = 0, toMs = 0, atMs = 0, lengthMs = 0;
        // The masks file of the package's recording (empty: none) and whether its composed
        // clip and stills are blurred with it; the question may change the tick.
        std::string masks;
        bool blur = true;
    };
    // The moment on screen +-kMomentStretchMs, within the trip.
    static Stretch MomentStretch(int64_t atMs, int64_t lengthMs);
    static constexpr int64_t kMomentStretchMs = 60000;

    struct Dialogs {
        // The tier and options, asked before the file; false when cancelled.
        std::function<bool(CExportDlg::Choice*)> options;
        // The clip's file, offered the proposed path: the chosen path, or empty when cancelled.
        std::function<QString(const QString&)> path;
        // Runs the started export dialog modally.
        std::function<void(CExportDlg&)> run;
        std::function<void(const QString&)> message;
        // The evidence package's folder (to be made), offered the proposed one: the chosen
        // path, or empty when cancelled.
        std::function<QString(const QString&)> evidenceFolder;
        // Runs the started evidence package dialog modally.
        std::function<void(CEvidenceDlg&)> runEvidence;
        // Offers the evidence package's stretch (see Stretch), which the answer may change;
        // false when cancelled. None: the stretch offered is taken.
        std::function<bool(Stretch*)> evidenceStretch;
        // The masks file of the regions to blur in a clip of these recordings; empty (or
        // none): nothing to offer.
        std::function<std::string(const std::vector<std::string>&)> masksFor;
    };

    // parent: the window the export dialog belongs to (a quit closes it with the window).
    ClipExportCommand(QWidget& parent, Dialogs dialogs);

    // request.paths and its span are filled in; timeline is the one the span is measured on
    // (its recordings' starts and camera clock); unitsPerG is the G-sensor's reading for 1 g.
    // atMs: the picture on screen; marked: whether the span comes from in and out marks (an
    // evidence package chosen from the options is then of that span, else of the moment).
    void Export(ClipRequest request, const TripTimeline& timeline, double unitsPerG,
                int64_t atMs = -1, bool marked = true);
    // The evidence package (see CEvidenceDlg) of the span offered, which the stretch question
    // may change, with its stills at atMs on that timeline (-1: the span's middle; the
    // picture on screen when the window asks), with the sound and position options of the
    // last export; offered from the export's options too.
    void Package(const ClipRequest& span, const TripTimeline& timeline, int64_t atMs,
                 int64_t lengthMs = -1);

    // The dialogs' title, also the name of the command.
    static QString Title();
    // The file question's filter.
    static QString FileFilter();
    // Where the file question starts: a new file in folder (empty: the user's videos folder)
    // named after the clip's start on the camera clock (the first recording's name when that
    // carries no time), never a recording, an input or an existing file.
    static QString ProposedClipPath(const std::vector<std::string>& inputs,
                                    const TripTimeline& timeline, int64_t fromMs,
                                    const QString& folder = QString());
    // The user's videos folder (XDG), else the home folder.
    static QString VideosFolder();
    // The folder of the last clip while it is there, else VideosFolder.
    QString ClipFolder() const;
    // The viewer's speed unit: what the captions and the report use unless the export's
    // options say otherwise for that export.
    void UseMph(bool mph) { m_choice.mph = mph; }

private:
    QWidget& m_parent;
    Dialogs m_dialogs;
    // The last export's tier and options, offered again; at first the composed picture, which
    // every player shows whole.
    CExportDlg::Choice m_choice = [] {
        CExportDlg::Choice choice;
        choice.compose = ClipCompose::PictureInPicture;
        return choice;
    }();
    QString m_lastFolder;  // where the last clip went
};
