#pragma once
// The main window's commands in one table: each with its keys (Qt keys, modifiers aside), the
// tooltip that names them and what it does to the window; the skinned buttons that trigger
// them, and the tooltips of the controls the keys move.

class CSamplePlayerDlg;
class MainWindowActions;
class MainWindowControls;

// One action per command of the table, acting on window.
void AddWindowCommands(CSamplePlayerDlg& window, MainWindowActions& actions);
// The buttons that trigger the commands, and the tooltips of the sliders and the rate label.
void BindWindowButtons(MainWindowControls& ui, MainWindowActions& actions);
void SetWindowControlTips(MainWindowControls& ui, MainWindowActions& actions);
// The number a key press's trace line shows for a Qt key (0 for a key it does not know).
int WindowKeyTraceCode(int key);
