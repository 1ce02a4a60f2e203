// The contact operations of the main window: adding, modifying, queries and
// deleting. Their checks, searches and messages come from the contact rules;
// this file only puts them on the record form.
#include "app/MainWindow.h"

#include "contacts/ContactRules.h"
#include "contacts/Session.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>

namespace quennet {

namespace {

rules::ContactInput typedContact(const MainWindow &window)
{
    rules::ContactInput input;
    input.name = window.姓名编辑框->text();
    input.phone = window.电话编辑框->text();
    input.mobile = window.手机编辑框->text();
    input.qq = window.QQ编辑框->text();
    input.email = window.Email编辑框->text();
    input.address = window.地址编辑框->text();
    return input;
}

void emptyBoxes(const QList<QLineEdit *> &boxes)
{
    for (QLineEdit *box : boxes)
        box->clear();
}

void makeEditable(const QList<QLineEdit *> &boxes)
{
    for (QLineEdit *box : boxes)
        box->setReadOnly(false);
}

} // namespace

// --- adding and modifying ------------------------------------------------------

bool MainWindow::refusedWhileEditing()
{
    const FormState &form = m_session.form;
    if (form.modifying)
        ui::showMessage(this, rules::modifyingStateMessage());
    else if (form.adding)
        ui::showMessage(this, rules::addingStateMessage());
    return form.adding || form.modifying;
}

void MainWindow::startAdding()
{
    if (refusedWhileEditing())
        return;
    FormState &form = m_session.form;
    hideList();
    const QList<QLineEdit *> boxes = editBoxes();
    emptyBoxes(boxes);
    makeEditable(boxes);
    form.adding = true;
    // 添加联系人 keeps its state: after a start from the query state it stays disabled.
    修改联系人->setEnabled(false);
    删除联系人->setEnabled(false);
    查询联系人->menuAction()->setEnabled(false);
}

void MainWindow::startModifying()
{
    syncWithFile();
    FormState &form = m_session.form;
    if (form.adding) {
        ui::showMessage(this, rules::addingStateMessage());
        return;
    }
    if (form.modifying) {
        ui::showMessage(this, rules::modifyingStateMessage());
        return;
    }
    m_session.store.goTo(form.selectedRecord);
    showCurrentRecord();
    makeEditable(editBoxes());
    hideList();
    form.modifying = true;
    setContactItemsEnabled(false, true, false, false);
}

void MainWindow::confirmAdding()
{
    ContactStore &store = m_session.store;
    const rules::ContactInput input = typedContact(*this);
    // The checks run inside the write, against what the file holds then.
    rules::Check check = rules::Check::Ok;
    const bool added = rules::addContact(store, input, &check);
    if (check != rules::Check::Ok) {
        // The form stays in Adding with the typed values, to be corrected.
        ui::showMessage(this, rules::checkMessage(check, rules::Branch::Adding));
        return;
    }
    if (!added) {
        ui::showMessage(this, rules::addFailed());
        showCurrentRecord();
        return;
    }
    contactsChanged();
    m_session.form.selectedRecord = store.recordNumber();
    showCurrentRecord();
    setRecordCounter(store.recordNumber());
    ui::showMessage(this, rules::addSucceeded());
}

void MainWindow::confirmModifying()
{
    ContactStore &store = m_session.store;
    rules::Check check = rules::Check::Ok;
    // The checks run inside the write, against what the file holds then.
    switch (rules::modifyShownContact(store, typedContact(*this), m_shown, &check)) {
    case rules::Outcome::Refused:
        ui::showMessage(this, rules::checkMessage(check, rules::Branch::Modifying));
        return;
    case rules::Outcome::Stale:
        showStoredInstead(m_shown.id);
        return;
    case rules::Outcome::Done:
        contactsChanged();
        ui::showMessage(this, rules::modifySucceeded());
        break;
    case rules::Outcome::Failed:
        ui::showMessage(this, rules::modifyFailed());
        break;
    }
    // Either way the form then shows what the store holds for the record.
    if (m_shown.id != 0)
        m_session.form.selectedRecord = store.recordNumber();
    showCurrentRecord();
}

// --- queries -------------------------------------------------------------------

void MainWindow::startQuery(rules::QueryKind kind)
{
    if (kind == rules::QueryKind::None)
        return;
    FormState &form = m_session.form;
    hideList();
    form.queryFound = false;
    form.queryKind = kind;
    const QList<QLineEdit *> boxes = editBoxes();
    emptyBoxes(boxes);
    for (QLineEdit *box : boxes)
        box->setEnabled(false);
    // 查询联系人 keeps whatever state it had.
    setContactItemsEnabled(false, false, false, 查询联系人->menuAction()->isEnabled());
    QLineEdit *searched = boxes.at(rules::queryField(kind) - 1);
    searched->setEnabled(true);
    searched->setReadOnly(false);
    ui::showMessage(this, rules::queryPrompt(kind));
}

void MainWindow::confirmQuery(rules::QueryKind kind)
{
    FormState &form = m_session.form;
    const QString text = editBoxes().at(rules::queryField(kind) - 1)->text();
    if (text.isEmpty()) {
        ui::showMessage(this, rules::queryEmptyBox(kind));
        return;
    }
    const QList<int> matches = rules::query(m_session.store, kind, text);
    if (!matches.isEmpty()) {
        form.queryFound = true;
        form.selectedRecord = matches.last();
    }
    if (!form.queryFound) {
        // Still in the query, with the typed text, so it can be corrected.
        ui::showMessage(this, rules::nothingFound());
        return;
    }
    m_session.store.goTo(form.selectedRecord);
    showCurrentRecord();
    hideList();
}

// --- deleting --------------------------------------------------------------------

void MainWindow::deleteContact()
{
    FormState &form = m_session.form;
    ContactStore &store = m_session.store;
    // What the user saw: the row last selected in the list, the record shown
    // (while modifying, the one being changed), as the records stood then.
    const bool listView = isListView();
    Contact target = listView ? store.contactAt(form.selectedRecord) : store.current();
    if (!listView && form.modifying)
        target = m_shown;
    syncWithFile();
    if (form.adding) {
        ui::showMessage(this, rules::deleteWhileAdding());
        return;
    }
    if (target.id != 0 && store.contactAt(store.numberOf(target.id)) != target) {
        showStoredInstead(target.id);
        return;
    }
    const int cursorBefore = store.recordNumber();
    const int selectedBefore = form.selectedRecord;
    // List view deletes the row last selected, record view the record shown.
    if (listView)
        store.goTo(form.selectedRecord);
    else
        form.selectedRecord = target.id != 0 ? store.numberOf(target.id) : store.recordNumber();
    if (ui::showMessage(this, rules::deleteConfirmation(target.name)) != ui::AnswerOk) {
        // Cancel leaves everything as it was, the cursor included.
        store.goTo(cursorBefore);
        form.selectedRecord = selectedBefore;
        return;
    }
    const rules::Outcome outcome = rules::deleteShownContact(store, target);
    if (outcome == rules::Outcome::Stale) {
        showStoredInstead(target.id);
        return;
    }
    const bool deleted = outcome == rules::Outcome::Done;
    if (deleted)
        contactsChanged();
    if (listView) {
        if (deleted)
            refillList();
        ui::showMessage(this, deleted ? rules::deleteSucceeded() : rules::deleteFailed());
        return;
    }
    if (!deleted) {
        ui::showMessage(this, rules::deleteFailed());
        showCurrentRecord();
        return;
    }
    store.goTo(form.selectedRecord + 1);
    showCurrentRecord();
    ui::showMessage(this, rules::deleteSucceeded());
    setTotalCounter(store.recordCount());
}

} // namespace quennet
