#pragma once

#include "tray/StatusNotifierTypes.h"

#include <QDBusVariant>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QAction;
class QMenu;

namespace qm {

// Shows a QMenu to the desktop as com.canonical.dbusmenu, the menu of a StatusNotifierItem: the
// host draws it and reports clicks, which trigger the menu's actions. Id 0 is the menu itself.
class DBusMenuExporter : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    explicit DBusMenuExporter(QObject* parent = nullptr);

    void setMenu(QMenu* menu);

    uint version() const { return 3; }
    QString textDirection() const;
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, qm::DBusMenuLayoutItem& layout);
    qm::DBusMenuItemPropertiesList GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    bool AboutToShow(int id);

signals:
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int idOf(QAction* action);
    // The menu behind an id: the root menu for 0, an action's submenu otherwise.
    QMenu* menuOf(int id) const;
    DBusMenuLayoutItem layoutOf(int id, QMenu* menu, int depth, const QStringList& names);
    QVariantMap propertiesOf(QAction* action, const QStringList& names);
    void watch(QMenu* menu);
    void layoutChanged();

    QPointer<QMenu> m_menu;
    QHash<QAction*, int> m_ids;
    QHash<int, QPointer<QAction>> m_actions;
    int m_nextId = 1;
    uint m_revision = 1;
    bool m_updatePending = false;
};

} // namespace qm
