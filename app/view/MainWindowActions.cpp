// The window's actions: keys, tooltips naming them, buttons triggering them.
#include "app/view/MainWindowActions.h"

#include <QAbstractButton>
#include <QAction>
#include <QKeySequence>
#include <QStringList>

#include "app/window/Resource.h"
#include "support/StringTable.h"
#include "support/Trace.h"

namespace {

// Keys whose names the string table gives per language, in the order of its '|' list.
const int kNamedKeys[] = {Qt::Key_Return, Qt::Key_Enter,    Qt::Key_Escape,
                          Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Left,
                          Qt::Key_Right,  Qt::Key_Up,       Qt::Key_Down};

// A tooltip's plain name: its text before the keys and notes in brackets.
QString NameOfTip(const QString& tip) {
    const qsizetype bracket = tip.indexOf(QStringLiteral(" ("));
    return bracket < 0 ? tip : tip.left(bracket);
}

}  // namespace

MainWindowActions::MainWindowActions(QObject* parent) : QObject(parent) {}

void MainWindowActions::Add(const Row& row) {
    auto* action = new QAction(this);
    QList<QKeySequence> shortcuts;
    for (int key : row.keys) shortcuts << QKeySequence(key);
    action->setShortcuts(shortcuts);
    // The window hands keys to its actions itself (after its list and timeline had them),
    // so the shortcut map never fires them a second time.
    action->setShortcutContext(Qt::WidgetShortcut);
    Entry& entry = m_entries[row.command];
    entry.action = action;
    entry.keyTrace = row.keyTrace;
    entry.plainOnly = row.plainOnly;
    const QString tip = TipWithKeys(row.tip, {row.command});
    action->setToolTip(tip);
    action->setText(NameOfTip(tip));
    if (row.handler)
        connect(action, &QAction::triggered, this, [handler = row.handler] { handler(); });
}

QAction* MainWindowActions::Action(WindowCommand command) const {
    auto found = m_entries.find(command);
    return found == m_entries.end() ? nullptr : found->second.action;
}

void MainWindowActions::Bind(WindowCommand command, QAbstractButton* button) {
    Entry& entry = m_entries.at(command);
    entry.button = button;
    button->setToolTip(entry.action->toolTip());
    button->setAccessibleName(entry.action->text());
    connect(button, &QAbstractButton::clicked, entry.action, &QAction::trigger);
}

bool MainWindowActions::TriggerKey(int key, Qt::KeyboardModifiers modifiers) {
    const bool withCtrlOrAlt = modifiers & (Qt::ControlModifier | Qt::AltModifier);
    for (const auto& [command, entry] : m_entries) {
        if (entry.plainOnly && withCtrlOrAlt) continue;
        bool mine = false;
        for (const QKeySequence& shortcut : entry.action->shortcuts())
            mine = mine || shortcut[0].key() == key;
        if (!mine || !entry.action->isEnabled()) continue;
        if (entry.button && entry.button->isHidden()) continue;
        if (entry.keyTrace) Trace("%s", entry.keyTrace);
        entry.action->trigger();
        return true;
    }
    return false;
}

QString MainWindowActions::KeyName(const QKeySequence& keys) {
    const QStringList names =
        QString::fromStdString(RawText(texts::kTipKeyNames)).split(QLatin1Char('|'));
    const int key = keys.isEmpty() ? 0 : keys[0].key();
    for (size_t i = 0; i < std::size(kNamedKeys); ++i) {
        if (kNamedKeys[i] == key && qsizetype(i) < names.size()) return names[qsizetype(i)];
    }
    return keys.toString(QKeySequence::PortableText);
}

QString MainWindowActions::KeyNames(WindowCommand command) const {
    QStringList names;
    if (const QAction* action = Action(command)) {
        for (const QKeySequence& shortcut : action->shortcuts()) {
            const QString name = KeyName(shortcut);
            if (!names.contains(name)) names << name;  // Return and keypad Enter read alike
        }
    }
    return names.join(QStringLiteral(", "));
}

QString MainWindowActions::TipWithKeys(TextId tip,
                                       std::initializer_list<WindowCommand> commands) const {
    QString text = QString::fromStdString(RawText(tip));
    qsizetype at = 0;
    for (WindowCommand command : commands) {
        at = text.indexOf(QStringLiteral("%s"), at);
        if (at < 0) break;
        const QString names = KeyNames(command);
        text.replace(at, 2, names);
        at += names.size();
    }
    return text;
}
