#pragma once
// The package's report.pdf: A4 pages in the language the package asks for: the clip's start,
// end and length and the moment of the stills on the camera clock and in UTC, the camera
// clock's zone and how it was measured, the place (coordinates and the route from the fixes,
// drawn on a plain ground with a scale bar; no map tiles), the speed at the moment and the
// clip's highest, a speed and G-force graph over a time axis, the driving events by name
// with their time of day, peak and speed, both stills, the files with their sizes and
// SHA-256, and what was verified. Each page's footer names the program, its version, when
// the package was made and "Page N of M". Every text stays extractable (see QtReportPage.h).
//
// Needs a QGuiApplication; EnsureGuiApplication makes one for a program without (the
// offscreen platform when there is no display).

#include <string>

#include "evidence/EvidencePackage.h"

bool WriteEvidenceReport(const PackageFacts& facts, const std::string& pdfPath, std::string* error);

// Creates the process's QGuiApplication if there is none yet.
void EnsureGuiApplication();
