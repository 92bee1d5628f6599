#pragma once
// The card root: the folder under which the dashcam keeps DRIVING, EVENT, PARKING, USER and
// SETTING. The drive string the user chose (a mount point from the drive dialog, or a folder
// typed by hand) becomes the root with one trailing '/', so that a folder name can be
// appended as it stands ("/media/me/CARD/" + "DRIVING").

#include <string>

// Empty for an empty (or blank) drive string: no drive chosen.
std::string CardRoot(const std::string& driveString);

// The card's configuration file, root + "SETTING/blackbox.cfg".
std::string CardConfigPath(const std::string& cardRoot);
