#pragma once
// Every user-visible text by name: the Korean and the English entry of the string table
// (res/strings.tsv). Look one up with Tr (support/QtText.h) or Text (support/StringTable.h).
// No Qt here: the tools and the report use it too.

struct TextId {
    int korean;
    int english;
};

namespace texts {

// The main window (the product name reads the same in both languages)
inline constexpr TextId kTitle{402, 402};
inline constexpr TextId kColFilename{405, 406};
inline constexpr TextId kColDate{407, 408};
inline constexpr TextId kColSize{409, 410};
inline constexpr TextId kColLength{1418, 1419};
inline constexpr TextId kColPath{411, 412};
inline constexpr TextId kQuit{413, 414};
inline constexpr TextId kQuitCaption{415, 416};
inline constexpr TextId kNoBlackbox{421, 422};
inline constexpr TextId kColType{431, 442};
inline constexpr TextId kColRear{443, 444};
inline constexpr TextId kGone{500, 501};
inline constexpr TextId kEmptyFile{502, 503};
inline constexpr TextId kUnreadable{504, 505};
inline constexpr TextId kNotRecording{506, 507};
inline constexpr TextId kSkipped{508, 509};
inline constexpr TextId kCardRemoved{510, 511};
inline constexpr TextId kInsertCard{512, 513};
inline constexpr TextId kNoRecordings{514, 515};
inline constexpr TextId kChooseFolder{516, 517};
inline constexpr TextId kFolderCaption{518, 519};
inline constexpr TextId kCannotOpen{520, 521};
inline constexpr TextId kClockUtc{958, 959};
inline constexpr TextId kClockNoFix{960, 961};
inline constexpr TextId kClockName{962, 963};

// Tooltips of the window's commands and controls: "%s" in a tip stands for the names of the
// command's keys; the key names are one '|' list, in the order the actions name them.
inline constexpr TextId kTipKeyNames{1300, 1301};
inline constexpr TextId kTipMinimize{1302, 1303};
inline constexpr TextId kTipClose{1304, 1305};
inline constexpr TextId kTipFullscreen{1306, 1307};
inline constexpr TextId kTipPrevsize{1308, 1309};
inline constexpr TextId kTipMaximize{1416, 1417};
inline constexpr TextId kTipChangeview{1310, 1311};
inline constexpr TextId kTipMapview{1312, 1313};
inline constexpr TextId kTipCamsmall{1314, 1315};
inline constexpr TextId kTipMapsmall{1316, 1317};
inline constexpr TextId kTipMirror{1318, 1319};
inline constexpr TextId kTipDriving{1320, 1321};
inline constexpr TextId kTipEvent{1322, 1323};
inline constexpr TextId kTipParking{1324, 1325};
inline constexpr TextId kTipUser{1326, 1327};
inline constexpr TextId kTipAll{1328, 1329};
inline constexpr TextId kTipOpen{1330, 1331};
inline constexpr TextId kTipStop{1332, 1333};
inline constexpr TextId kTipPre{1334, 1335};
inline constexpr TextId kTipBackward{1336, 1337};
inline constexpr TextId kTipPlay{1338, 1339};
inline constexpr TextId kTipPause{1340, 1341};
inline constexpr TextId kTipForward{1342, 1343};
inline constexpr TextId kTipNext{1344, 1345};
inline constexpr TextId kTipZoom{1346, 1347};
inline constexpr TextId kTipCapture{1348, 1349};
inline constexpr TextId kTipSetting{1350, 1351};
inline constexpr TextId kTipMute{1352, 1353};
inline constexpr TextId kTipVolumeUp{1354, 1355};
inline constexpr TextId kTipVolumeDown{1356, 1357};
inline constexpr TextId kTipStepBack{1358, 1359};
inline constexpr TextId kTipStepForward{1360, 1361};
inline constexpr TextId kTipSlower{1362, 1363};
inline constexpr TextId kTipFaster{1364, 1365};
inline constexpr TextId kTipVolume{1366, 1367};
inline constexpr TextId kTipBright{1368, 1369};
inline constexpr TextId kTipPosition{1370, 1371};
inline constexpr TextId kTipRate{1372, 1373};
inline constexpr TextId kTipPrevEvent{1400, 1401};
inline constexpr TextId kTipNextEvent{1402, 1403};
inline constexpr TextId kTipMarkIn{1404, 1405};
inline constexpr TextId kTipMarkOut{1406, 1407};
inline constexpr TextId kTipExport{1408, 1409};
inline constexpr TextId kTipTrips{1410, 1411};
inline constexpr TextId kTipBookmark{1988, 1989};
inline constexpr TextId kTipArchive{2662, 2663};
inline constexpr TextId kTipRedact{2400, 2401};

// Screen-reader names of the controls that have no command
inline constexpr TextId kNameFront{1380, 1381};
inline constexpr TextId kNameRear{1382, 1383};
inline constexpr TextId kNameCurtime{1384, 1385};
inline constexpr TextId kNameTotaltime{1386, 1387};
inline constexpr TextId kNameSpeed{1388, 1389};
inline constexpr TextId kNameRate{1390, 1391};
inline constexpr TextId kNameGraph{1392, 1393};
inline constexpr TextId kNamePosition{1394, 1395};
inline constexpr TextId kNameVolume{1396, 1397};
inline constexpr TextId kNameBright{1398, 1399};
inline constexpr TextId kNameList{1420, 1421};
inline constexpr TextId kNameMap{1422, 1423};

// Archive commands
inline constexpr TextId kImporting{1972, 1973};
inline constexpr TextId kImported{1974, 1975};
inline constexpr TextId kImportFailed{1976, 1977};
inline constexpr TextId kImportCancelled{1986, 1987};
inline constexpr TextId kBookmarked{1994, 1995};
inline constexpr TextId kNotArchived{1996, 1997};
inline constexpr TextId kBookmarkFailed{1998, 1999};
inline constexpr TextId kSettingsUnwritable{2660, 2661};

// Archive import bar
inline constexpr TextId kCancel{568, 569};
inline constexpr TextId kNewOnCard{1978, 1979};
inline constexpr TextId kImport{1980, 1981};
inline constexpr TextId kNotNow{1982, 1983};
inline constexpr TextId kImportingCount{1984, 1985};

// Archive settings dialog
inline constexpr TextId kArchiveSettingsCaption{2642, 2643};
inline constexpr TextId kArchiveFolder{2644, 2645};
inline constexpr TextId kCatalogue{2646, 2647};
inline constexpr TextId kCatalogueHint{2648, 2649};
inline constexpr TextId kOnCard{2650, 2651};
inline constexpr TextId kAsk{2652, 2653};
inline constexpr TextId kAlways{2654, 2655};
inline constexpr TextId kNever{2656, 2657};
inline constexpr TextId kBrowse{2658, 2659};

// Archive view
inline constexpr TextId kArchiveTitle{2604, 2605};
inline constexpr TextId kDates{2606, 2607};
inline constexpr TextId kEverything{2608, 2609};
inline constexpr TextId kBookmarks{2610, 2611};
inline constexpr TextId kNear{2612, 2613};
inline constexpr TextId kSearch{2614, 2615};
inline constexpr TextId kAllDays{2616, 2617};
inline constexpr TextId kMore{2618, 2619};
inline constexpr TextId kSettings{2620, 2621};
inline constexpr TextId kTripRow{2622, 2623};
inline constexpr TextId kBookmarkRow{2624, 2625};
inline constexpr TextId kArchiveFound{2626, 2627};
inline constexpr TextId kSearching{2628, 2629};
inline constexpr TextId kEmpty{2630, 2631};
inline constexpr TextId kPickPlace{2632, 2633};
inline constexpr TextId kNearPlace{2634, 2635};
inline constexpr TextId kRecording{2636, 2637};
inline constexpr TextId kPlace{2638, 2639};
inline constexpr TextId kNoRouteHere{2640, 2641};

// Archive view model
inline constexpr TextId kNoArchive{2600, 2601};
inline constexpr TextId kCatalogueFailed{2602, 2603};

// Evidence dialog
inline constexpr TextId kEvidenceTitle{964, 965};
inline constexpr TextId kEvidenceWriting{966, 967};
inline constexpr TextId kEvidenceDone{968, 969};
inline constexpr TextId kEvidenceFailed{970, 971};
inline constexpr TextId kEvidenceCancelled{972, 973};
inline constexpr TextId kClose{644, 645};
inline constexpr TextId kStretch{1428, 1429};
inline constexpr TextId kBefore{1430, 1431};
inline constexpr TextId kAfter{1432, 1433};
inline constexpr TextId kBlurRegions{2454, 2455};

// Steps of making an evidence package
inline constexpr TextId kStepCopyingOriginals{974, 975};
inline constexpr TextId kStepWritingLosslessClip{976, 977};
inline constexpr TextId kStepWritingComposedClip{978, 979};
inline constexpr TextId kStepTakingStills{980, 981};
inline constexpr TextId kStepComparingClip{982, 983};
inline constexpr TextId kStepWritingReport{984, 985};
inline constexpr TextId kStepWritingManifest{986, 987};

// Export dialog
inline constexpr TextId kExportTitle{630, 631};
inline constexpr TextId kExporting{636, 637};
inline constexpr TextId kExportDone{638, 639};
inline constexpr TextId kExportFailed{640, 641};
inline constexpr TextId kExportCancelled{646, 647};
inline constexpr TextId kExportTier{940, 941};
inline constexpr TextId kExportLossless{942, 943};
inline constexpr TextId kExportPip{944, 945};
inline constexpr TextId kExportSide{946, 947};
inline constexpr TextId kExportNoSound{948, 949};
inline constexpr TextId kExportNoPosition{950, 951};
inline constexpr TextId kExportMph{952, 953};
inline constexpr TextId kExport{954, 955};
inline constexpr TextId kExportPipHint{1480, 1481};
inline constexpr TextId kExportLosslessHint{1482, 1483};

// Recover dialog
inline constexpr TextId kRecoverTitle{1714, 1715};
inline constexpr TextId kReading{1718, 1719};
inline constexpr TextId kRecoveredFound{1720, 1721};
inline constexpr TextId kCancelled{1722, 1723};
inline constexpr TextId kUnreadableCard{1724, 1725};
inline constexpr TextId kShowInList{1726, 1727};
inline constexpr TextId kWhole{1730, 1731};
inline constexpr TextId kRecoveredCut{1732, 1733};
inline constexpr TextId kRecoveredUnreadable{1734, 1735};
inline constexpr TextId kLeftOnCard{1736, 1737};

// Clip export command
inline constexpr TextId kMp4Filter{648, 649};

// Job dialog parts
inline constexpr TextId kOpenFolder{956, 957};

// Recovery commands
inline constexpr TextId kRecoverFolder{1728, 1729};
inline constexpr TextId kNeedCard{1738, 1739};
inline constexpr TextId kRepaired{1740, 1741};
inline constexpr TextId kRepairFailed{1742, 1743};
inline constexpr TextId kRepairFolder{1744, 1745};

// Window dialogs
inline constexpr TextId kJpegFilter{1484, 1485};
inline constexpr TextId kBookmark{1990, 1991};
inline constexpr TextId kBookmarkNote{1992, 1993};

// Recording list model
inline constexpr TextId kTrip{650, 651};
inline constexpr TextId kEndsEarly{988, 989};
inline constexpr TextId kCutShort{1424, 1425};
inline constexpr TextId kEventCount{652, 653};
inline constexpr TextId kOneEvent{720, 721};
inline constexpr TextId kTripCountHeading{722, 723};

// Recording list view
inline constexpr TextId kShowTrips{654, 655};
inline constexpr TextId kShowRecordings{656, 657};
inline constexpr TextId kArchive{2664, 2665};
inline constexpr TextId kRepair{1716, 1717};

// Recording navigator
inline constexpr TextId kFindingTrips{1426, 1427};

// Driving event kinds
inline constexpr TextId kHarshBraking{990, 991};
inline constexpr TextId kHardAcceleration{992, 993};
inline constexpr TextId kSharpTurn{994, 995};
inline constexpr TextId kImpact{996, 997};

// Event legend
inline constexpr TextId kEventsCaption{998, 999};
inline constexpr TextId kNameEventLegend{1412, 1413};

// Event list panel
inline constexpr TextId kEventListTitle{1002, 1003};
inline constexpr TextId kNoEvents{1012, 1013};
inline constexpr TextId kEventColumnTime{1004, 1005};
inline constexpr TextId kEventColumnKind{1006, 1007};
inline constexpr TextId kEventColumnPeak{1008, 1009};
inline constexpr TextId kEventColumnSpeed{1010, 1011};

// Timeline panel
inline constexpr TextId kMarkIn{632, 633};
inline constexpr TextId kMarkOut{634, 635};
inline constexpr TextId kPreviousEvent{658, 659};
inline constexpr TextId kNextEvent{660, 661};
inline constexpr TextId kEventList{1000, 1001};
inline constexpr TextId kRedactionTool{2402, 2403};

// Still capture
inline constexpr TextId kCaptureSaved{562, 563};
inline constexpr TextId kCaptureFailed{564, 565};
inline constexpr TextId kCaptureNothing{566, 567};

// Redaction tool
inline constexpr TextId kTracking{2440, 2441};
inline constexpr TextId kDetecting{2442, 2443};
inline constexpr TextId kSuggestions{2444, 2445};
inline constexpr TextId kTrackFailed{2448, 2449};
inline constexpr TextId kSaveFailed{2450, 2451};
inline constexpr TextId kLoadFailed{2452, 2453};
inline constexpr TextId kNothingFound{2458, 2459};
inline constexpr TextId kDetectFailed{2460, 2461};

// Region list panel
inline constexpr TextId kRegionsTitle{2404, 2405};
inline constexpr TextId kFront{2414, 2415};
inline constexpr TextId kRear{2416, 2417};
inline constexpr TextId kPlate{2418, 2419};
inline constexpr TextId kFace{2420, 2421};
inline constexpr TextId kOther{2422, 2423};
inline constexpr TextId kDetect{2424, 2425};
inline constexpr TextId kRegionCutHere{2426, 2427};
inline constexpr TextId kDelete{2428, 2429};
inline constexpr TextId kAccept{2430, 2431};
inline constexpr TextId kDismiss{2432, 2433};
inline constexpr TextId kNewKind{2436, 2437};
inline constexpr TextId kHint{2438, 2439};
inline constexpr TextId kSuggestion{2446, 2447};
inline constexpr TextId kSources{2456, 2457};
inline constexpr TextId kRegionColumnCamera{2406, 2407};
inline constexpr TextId kRegionColumnKind{2408, 2409};
inline constexpr TextId kRegionColumnTime{2410, 2411};
inline constexpr TextId kRegionColumnBoxes{2412, 2413};

// Notes over the picture
inline constexpr TextId kCloseNote{1486, 1487};

// The picture area
inline constexpr TextId kDroppingFrames{1414, 1415};

// Format dialog
inline constexpr TextId kFormat{434, 435};
inline constexpr TextId kCheckCard{860, 861};
inline constexpr TextId kDevice{862, 863};
inline constexpr TextId kLabel{864, 865};
inline constexpr TextId kCapacity{866, 867};
inline constexpr TextId kFsNow{868, 869};
inline constexpr TextId kMountedAt{870, 871};
inline constexpr TextId kRecordings{872, 873};
inline constexpr TextId kRecordingCount{874, 875};
inline constexpr TextId kFsAfter{876, 877};
inline constexpr TextId kEraseWarning{878, 879};
inline constexpr TextId kStart{880, 881};
inline constexpr TextId kFormatting{882, 883};
inline constexpr TextId kUnknown{884, 885};
inline constexpr TextId kNoLabel{886, 887};
inline constexpr TextId kNotRemovable{1700, 1701};
inline constexpr TextId kSystemDisk{1702, 1703};
inline constexpr TextId kFormatFolder{1704, 1705};
inline constexpr TextId kDeleted{1706, 1707};
inline constexpr TextId kDeletedCount{1708, 1709};
inline constexpr TextId kDeletedNone{1710, 1711};
inline constexpr TextId kRecoverFirst{1712, 1713};
inline constexpr TextId kUnarchived{1960, 1961};
inline constexpr TextId kUnarchivedCount{1962, 1963};
inline constexpr TextId kUnarchivedNone{1964, 1965};
inline constexpr TextId kEraseUnarchived{1966, 1967};
inline constexpr TextId kImportFirst{1968, 1969};
inline constexpr TextId kArchiveUnreadable{1970, 1971};

// Device settings dialog
inline constexpr TextId kConfigError{423, 424};
inline constexpr TextId kCapacitySum{425, 426};
inline constexpr TextId kFormatAsk{436, 437};
inline constexpr TextId kFormatDone{438, 439};
inline constexpr TextId kFormatFailed{440, 441};
inline constexpr TextId kChooseValue{470, 471};
inline constexpr TextId kWriteFailed{472, 473};
inline constexpr TextId kNotACard{474, 475};
inline constexpr TextId kStorageTotal{570, 571};
inline constexpr TextId kCopyKept{888, 889};
inline constexpr TextId kFailedCopyKept{890, 891};

// Device settings dialog layout
inline constexpr TextId kSettingsStorage{312, 313};
inline constexpr TextId kSettingsStorageDriving{314, 315};
inline constexpr TextId kSettingsStorageParking{316, 317};
inline constexpr TextId kSettingsStorageEvent{318, 319};
inline constexpr TextId kSettingsStorageUser{320, 321};
inline constexpr TextId kSettingsStorageNotice{322, 323};
inline constexpr TextId kSettingsBattery{324, 325};
inline constexpr TextId kSettingsVoltage{326, 327};
inline constexpr TextId kSettingsClock{330, 331};
inline constexpr TextId kSettingsRtcTime{338, 339};
inline constexpr TextId kSettingsVersion{340, 341};
inline constexpr TextId kSettingsPcViewer{400, 401};
inline constexpr TextId kSettingsProduct{342, 343};
inline constexpr TextId kSettingsFirmware{344, 345};
inline constexpr TextId kSettingsAudioSensor{346, 347};
inline constexpr TextId kSettingsMicrophone{352, 353};
inline constexpr TextId kSettingsSpeaker{354, 355};
inline constexpr TextId kSettingsGSensor{356, 357};
inline constexpr TextId kSettingsMotion{362, 363};
inline constexpr TextId kSettingsMin{348, 349};
inline constexpr TextId kSettingsMax{350, 351};
inline constexpr TextId kSettingsInsensitive{358, 359};
inline constexpr TextId kSettingsSensitive{360, 361};
inline constexpr TextId kSettingsCamera{380, 381};
inline constexpr TextId kSettingsBrightness{388, 389};
inline constexpr TextId kSettingsDark{382, 383};
inline constexpr TextId kSettingsTune{384, 385};
inline constexpr TextId kSettingsBright{386, 387};
inline constexpr TextId kSettingsContrast{394, 395};
inline constexpr TextId kSettingsBlur{390, 391};
inline constexpr TextId kSettingsSharp{392, 393};
inline constexpr TextId kSettingsSave{396, 397};
inline constexpr TextId kDeviceSettingsCaption{398, 399};

// Select drive dialog
inline constexpr TextId kSelectDrive{403, 404};
inline constexpr TextId kDriveGuide{429, 430};
inline constexpr TextId kOk{432, 433};

// The evidence report (read as they stand: "%1", "%2" are filled in by the report, a percent
// sign is written once)
inline constexpr TextId kReportTitle{2800, 2801};
inline constexpr TextId kReportMade{2802, 2803};
inline constexpr TextId kReportPageOf{2804, 2805};
inline constexpr TextId kReportClip{2806, 2807};
inline constexpr TextId kReportClipStart{2808, 2809};
inline constexpr TextId kReportClipEnd{2810, 2811};
inline constexpr TextId kReportClipLength{2812, 2813};
inline constexpr TextId kReportCameraClock{2814, 2815};
inline constexpr TextId kReportUtc{2816, 2817};
inline constexpr TextId kReportMoment{2818, 2819};
inline constexpr TextId kReportOffset{2820, 2821};
inline constexpr TextId kReportOffsetHow{2822, 2823};
inline constexpr TextId kReportNoOffset{2824, 2825};
inline constexpr TextId kReportPlace{2826, 2827};
inline constexpr TextId kReportNoPlace{2828, 2829};
inline constexpr TextId kReportRouteNote{2830, 2831};
inline constexpr TextId kReportSpeed{2832, 2833};
inline constexpr TextId kReportSpeedAtMoment{2834, 2835};
inline constexpr TextId kReportHighest{2836, 2837};
inline constexpr TextId kReportFixValid{2838, 2839};
inline constexpr TextId kReportFixInvalid{2840, 2841};
inline constexpr TextId kReportGraph{2842, 2843};
inline constexpr TextId kReportGraphSpeed{2844, 2845};
inline constexpr TextId kReportGForce{2846, 2847};
inline constexpr TextId kReportGraphTime{2848, 2849};
inline constexpr TextId kReportGraphMoment{2850, 2851};
inline constexpr TextId kReportEvents{2852, 2853};
inline constexpr TextId kReportNoEvents{2854, 2855};
inline constexpr TextId kReportStills{2856, 2857};
inline constexpr TextId kReportFiles{2858, 2859};
inline constexpr TextId kReportFilesSelf{2860, 2861};
inline constexpr TextId kReportParts{2862, 2863};
inline constexpr TextId kReportPartsRate{2864, 2865};
inline constexpr TextId kReportPartsLowered{2866, 2867};
inline constexpr TextId kReportVerified{2868, 2869};
inline constexpr TextId kReportVerifiedAll{2870, 2871};
inline constexpr TextId kReportVerifiedNot{2872, 2873};
inline constexpr TextId kReportHashes{2874, 2875};
inline constexpr TextId kReportRedactions{2876, 2877};
inline constexpr TextId kReportRedactionsWhy{2878, 2879};
inline constexpr TextId kReportRedactionsRegion{2880, 2881};
inline constexpr TextId kReportRedactionsFiles{2882, 2883};
inline constexpr TextId kReportRedactionsUnedited{2884, 2885};
inline constexpr TextId kReportShareCopy{2886, 2887};
inline constexpr TextId kReportShareCopyUnedited{2888, 2889};

}  // namespace texts
