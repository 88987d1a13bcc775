#include "tray/DBusMenuExporter.h"

#include <QAction>
#include <QActionGroup>
#include <QBuffer>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QTimer>

namespace qm {

namespace {

// dbusmenu marks the access key with '_' where Qt uses '&'.
QString menuLabel(const QString& text) {
    QString label;
    label.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('_'))
            label += QStringLiteral("__");
        else if (c == QLatin1Char('&') && i + 1 < text.size())
            label += text.at(++i) == QLatin1Char('&') ? QStringLiteral("&") : QLatin1Char('_') + text.at(i);
        else
            label += c;
    }
    return label;
}

QByteArray pngOf(const QIcon& icon) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    icon.pixmap(16, 16).toImage().save(&buffer, "PNG");
    return png;
}

} // namespace

DBusMenuExporter::DBusMenuExporter(QObject* parent) : QObject(parent) {}

void DBusMenuExporter::setMenu(QMenu* menu) {
    if (m_menu)
        m_menu->removeEventFilter(this);
    m_menu = menu;
    if (menu)
        watch(menu);
    layoutChanged();
}

QString DBusMenuExporter::textDirection() const {
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl") : QStringLiteral("ltr");
}

int DBusMenuExporter::idOf(QAction* action) {
    auto found = m_ids.constFind(action);
    if (found != m_ids.constEnd())
        return *found;
    const int id = m_nextId++;
    m_ids.insert(action, id);
    m_actions.insert(id, action);
    // An id is never reused, so a late click on a removed item finds nothing.
    connect(action, &QObject::destroyed, this, [this, action, id] {
        m_ids.remove(action);
        m_actions.remove(id);
    });
    return id;
}

QMenu* DBusMenuExporter::menuOf(int id) const {
    if (id == 0)
        return m_menu;
    const QPointer<QAction> action = m_actions.value(id);
    return action ? action->menu() : nullptr;
}

QVariantMap DBusMenuExporter::propertiesOf(QAction* action, const QStringList& names) {
    QVariantMap properties;
    const auto put = [&](const QString& name, const QVariant& value) {
        if (names.isEmpty() || names.contains(name))
            properties.insert(name, value);
    };
    if (action->isSeparator()) {
        put(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        put(QStringLiteral("label"), menuLabel(action->text()));
        if (!action->icon().isNull())
            put(QStringLiteral("icon-data"), pngOf(action->icon()));
    }
    put(QStringLiteral("enabled"), action->isEnabled());
    put(QStringLiteral("visible"), action->isVisible());
    if (action->isCheckable()) {
        const bool radio = action->actionGroup() && action->actionGroup()->isExclusive();
        put(QStringLiteral("toggle-type"), radio ? QStringLiteral("radio") : QStringLiteral("checkmark"));
        put(QStringLiteral("toggle-state"), action->isChecked() ? 1 : 0);
    }
    if (QMenu* submenu = action->menu()) {
        put(QStringLiteral("children-display"), QStringLiteral("submenu"));
        watch(submenu);
    }
    return properties;
}

DBusMenuLayoutItem DBusMenuExporter::layoutOf(int id, QMenu* menu, int depth, const QStringList& names) {
    DBusMenuLayoutItem node{id, {}, {}};
    if (id == 0)
        node.properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    else if (QAction* action = m_actions.value(id))
        node.properties = propertiesOf(action, names);
    if (!menu || depth == 0)
        return node;
    for (QAction* action : menu->actions()) {
        const int childId = idOf(action);
        node.children.append(layoutOf(childId, action->menu(), depth < 0 ? -1 : depth - 1, names));
    }
    return node;
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                 DBusMenuLayoutItem& layout) {
    layout = layoutOf(parentId, menuOf(parentId), recursionDepth, propertyNames);
    return m_revision;
}

DBusMenuItemPropertiesList DBusMenuExporter::GetGroupProperties(const QList<int>& ids,
                                                                const QStringList& propertyNames) {
    DBusMenuItemPropertiesList items;
    for (int id : ids) {
        if (QAction* action = m_actions.value(id))
            items.append({id, propertiesOf(action, propertyNames)});
    }
    return items;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString& name) {
    QAction* action = m_actions.value(id);
    return QDBusVariant(action ? propertiesOf(action, {name}).value(name) : QVariant(QString()));
}

void DBusMenuExporter::Event(int id, const QString& eventId, const QDBusVariant&, uint) {
    // After the reply: the action may end the program or open a modal dialog.
    QTimer::singleShot(0, this, [this, id, eventId] {
        if (eventId == QLatin1String("clicked")) {
            if (QAction* action = m_actions.value(id); action && action->isEnabled() && !action->menu())
                action->trigger();
        } else if (QMenu* menu = menuOf(id)) {
            if (eventId == QLatin1String("opened"))
                emit menu->aboutToShow();
            else if (eventId == QLatin1String("closed"))
                emit menu->aboutToHide();
        }
    });
}

bool DBusMenuExporter::AboutToShow(int id) {
    QMenu* menu = menuOf(id);
    if (!menu)
        return false;
    // Whatever the menu's owner changes while it prepares the menu, the host fetches again.
    const bool pendingBefore = m_updatePending;
    m_updatePending = false;
    emit menu->aboutToShow();
    const bool changed = m_updatePending;
    m_updatePending = pendingBefore || changed;
    return changed;
}

bool DBusMenuExporter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ActionAdded:
    case QEvent::ActionRemoved:
    case QEvent::ActionChanged:
        layoutChanged();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void DBusMenuExporter::watch(QMenu* menu) {
    menu->removeEventFilter(this); // once per menu
    menu->installEventFilter(this);
}

void DBusMenuExporter::layoutChanged() {
    if (m_updatePending)
        return;
    m_updatePending = true;
    // A language change renames every item at once: one update for all of them.
    QTimer::singleShot(0, this, [this] {
        if (!m_updatePending)
            return;
        m_updatePending = false;
        emit LayoutUpdated(++m_revision, 0);
    });
}

} // namespace qm
