#include "ui/HotKeys.h"

#include "ui/Modal.h"
#include "ui/StandIns.h"

#include <QMap>
#include <QPointer>
#include <QShortcut>
#include <QWidget>

#include <algorithm>
#include <memory>

namespace quennet::ui {

namespace {

using detail::HotKeyBackend;

// Without a system-wide service the keys work while a window of the program
// is active.
class ShortcutHotKeys : public HotKeyBackend {
public:
    bool grab(QWidget *owner, int id, QKeyCombination combination) override
    {
        auto *shortcut = new QShortcut(QKeySequence(combination), owner);
        shortcut->setContext(Qt::ApplicationShortcut);
        shortcut->setAutoRepeat(true);
        QObject::connect(shortcut, &QShortcut::activated, shortcut, [id] { dispatchHotKey(id); });
        m_shortcuts.insert(id, shortcut);
        return true;
    }
    void release(int id) override { delete m_shortcuts.take(id).data(); }

private:
    QMap<int, QPointer<QShortcut>> m_shortcuts;
};

} // namespace

detail::HotKeyBackend *detail::makeShortcutHotKeys()
{
    return new ShortcutHotKeys;
}

namespace {

struct Entry {
    RegisteredHotKey key;
    QPointer<QWidget> owner;
    std::function<void()> handler;
};

// The application-wide hot key table.
struct Table {
    std::unique_ptr<HotKeyBackend> backend;
    QList<Entry> entries;
};

Table &table()
{
    static Table t;
    return t;
}

std::unique_ptr<HotKeyBackend> chooseBackend()
{
    if (const auto &scripted = detail::standIns().hotKeys)
        return scripted();
    if (HotKeyBackend *x11 = detail::makeX11HotKeys())
        return std::unique_ptr<HotKeyBackend>(x11);
    if (HotKeyBackend *portal = detail::makePortalHotKeys())
        return std::unique_ptr<HotKeyBackend>(portal);
    return std::unique_ptr<HotKeyBackend>(detail::makeShortcutHotKeys());
}

// The keys end with their window. Identifiers are counted from the entries,
// so once the window is gone a new one starts again from 1.
void forgetKeysOf(QObject *owner)
{
    Table &t = table();
    for (int i = t.entries.size() - 1; i >= 0; --i) {
        const Entry &entry = t.entries.at(i);
        if (entry.owner && entry.owner != owner)
            continue;
        if (t.backend)
            t.backend->release(entry.key.id);
        t.entries.removeAt(i);
    }
    if (t.entries.isEmpty())
        t.backend.reset();
}

} // namespace

int registerHotKey(QWidget *owner, QKeyCombination combination, std::function<void()> handler)
{
    Table &t = table();
    if (!t.backend)
        t.backend = chooseBackend();
    const int id = t.entries.size() + 1;
    if (!t.backend->grab(owner, id, combination))
        return 0;
    const bool firstOfOwner = std::none_of(t.entries.cbegin(), t.entries.cend(),
                                           [owner](const Entry &e) { return e.owner == owner; });
    t.entries.append({{id, combination}, owner, std::move(handler)});
    if (firstOfOwner)
        QObject::connect(owner, &QObject::destroyed, [](QObject *gone) { forgetKeysOf(gone); });
    return id;
}

QList<RegisteredHotKey> registeredHotKeys()
{
    QList<RegisteredHotKey> keys;
    for (const Entry &entry : table().entries)
        keys << entry.key;
    return keys;
}

bool dispatchHotKey(int id)
{
    const QList<Entry> &entries = table().entries;
    const auto entry =
        std::find_if(entries.cbegin(), entries.cend(), [id](const Entry &e) { return e.key.id == id; });
    if (entry == entries.cend() || !entry->owner || modalWindowOpen())
        return false;
    // A copy: the handler may destroy the owner, and the table with it.
    const std::function<void()> handler = entry->handler;
    handler();
    return true;
}

} // namespace quennet::ui
