// The tray menu as a StatusNotifierItem host reads it: labels, kinds and states, clicks, updates.
#include "tray/DBusMenuExporter.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(DBusMenuExporter, HostsReadTheMenuAndItsClicksRunTheActions) {
    QMenu menu;
    QAction* check = menu.addAction(QStringLiteral("&Check mail"));
    QAction* save = menu.addAction(QStringLiteral("Save && go_on"));
    save->setEnabled(false);
    menu.addSeparator();
    QActionGroup group(&menu);
    QAction* english = menu.addAction(QStringLiteral("English"));
    english->setCheckable(true);
    english->setChecked(true);
    group.addAction(english);
    menu.addMenu(QStringLiteral("Language"))->addAction(QStringLiteral("Italiano"));
    DBusMenuExporter exporter;
    exporter.setMenu(&menu);
    QSignalSpy updated(&exporter, &DBusMenuExporter::LayoutUpdated);

    DBusMenuLayoutItem root;
    const uint revision = exporter.GetLayout(0, -1, {}, root);
    ASSERT_EQ(root.children.size(), 5);
    const auto property = [&](int row, const char* name) {
        return root.children.at(row).properties.value(QString::fromLatin1(name));
    };
    EXPECT_EQ(property(0, "label").toString(), QStringLiteral("_Check mail"));
    EXPECT_EQ(property(1, "label").toString(), QStringLiteral("Save & go__on"));
    EXPECT_FALSE(property(1, "enabled").toBool());
    EXPECT_EQ(property(2, "type").toString(), QStringLiteral("separator"));
    EXPECT_EQ(property(3, "toggle-type").toString(), QStringLiteral("radio"));
    EXPECT_EQ(property(3, "toggle-state").toInt(), 1);
    EXPECT_EQ(property(4, "children-display").toString(), QStringLiteral("submenu"));
    ASSERT_EQ(root.children.at(4).children.size(), 1);
    EXPECT_EQ(root.children.at(4).children.at(0).properties.value(QStringLiteral("label")).toString(),
              QStringLiteral("Italiano"));
    // Only the properties asked for, and only one level when asked so.
    DBusMenuLayoutItem shallow;
    exporter.GetLayout(0, 1, {QStringLiteral("label")}, shallow);
    EXPECT_TRUE(shallow.children.at(4).children.isEmpty());
    EXPECT_FALSE(shallow.children.at(0).properties.contains(QStringLiteral("enabled")));

    QSignalSpy triggered(check, &QAction::triggered), skipped(save, &QAction::triggered);
    // Clicks run in order after their replies: the disabled item's before the other's.
    exporter.Event(root.children.at(1).id, QStringLiteral("clicked"), QDBusVariant(0), 0);
    exporter.Event(root.children.at(0).id, QStringLiteral("clicked"), QDBusVariant(0), 0);
    QTRY_COMPARE(triggered.count(), 1);
    EXPECT_EQ(skipped.count(), 0);
    // A renamed item, as after a change of language: one update with a new revision.
    check->setText(QStringLiteral("Controlla posta"));
    QTRY_COMPARE(updated.count(), 1);
    EXPECT_GT(updated.at(0).at(0).toUInt(), revision);
}

} // namespace
} // namespace qm
