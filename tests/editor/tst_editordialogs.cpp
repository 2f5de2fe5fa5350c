// The link and picture dialogs, driven with real key and mouse events.
#include "common/ModalHelper.h"
#include "common/Widgets.h"
#include "editor/Link.h"
#include "editor/Markup.h"
#include "editor/PicID.h"
#include "state/Endpoints.h"

#include <QAccessible>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>

#include <functional>

using namespace tarnvik;

using namespace testwidgets;

namespace {
// Clicks a radio button on its circle, as a user does.
void choose(QRadioButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

QLineEdit *edit(QWidget *dialog, const char *name)
{
    return child<QLineEdit>(dialog, name);
}

// Every caption shows whole.
void checkNothingCut(QWidget *dialog)
{
    for (QWidget *widget : dialog->findChildren<QWidget *>()) {
        if (qobject_cast<QLabel *>(widget) || qobject_cast<QAbstractButton *>(widget))
            QVERIFY2(widget->width() >= widget->sizeHint().width(), qPrintable(widget->objectName()));
    }
}

// Every control a user can reach has a name for assistive technology.
void checkAccessibleNames(QWidget *dialog)
{
    for (QWidget *widget : dialog->findChildren<QWidget *>()) {
        if (!widget->focusPolicy() && !qobject_cast<QLabel *>(widget))
            continue;
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(face);
        QVERIFY2(!face->text(QAccessible::Name).isEmpty(), qPrintable(widget->objectName()));
    }
}
} // namespace

class TestEditorDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void linkOpens();
    void askLink_data();
    void askLink();

    void pictureOpens();
    void digitFilter_data();
    void digitFilter();
    void okFollowsNumber_data();
    void okFollowsNumber();
    void radioButtonsLeaveOk();
    void externalAddressLength();
    void askPicture_data();
    void askPicture();
};

void TestEditorDialogs::initTestCase()
{
    setEndpoints({QStringLiteral("forum.test"), QStringLiteral("bilder.test"), QStringLiteral("wort")});
}

void TestEditorDialogs::linkOpens()
{
    TfrmLink dialog(nullptr, QStringLiteral("Werkstatt"));
    QVERIFY(showActive(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Link einfügen"));
    checkNothingCut(&dialog);
    QLineEdit *url = edit(&dialog, "EURL");
    QLineEdit *name = edit(&dialog, "EName");
    QCOMPARE(QApplication::focusWidget(), url);
    QCOMPARE(url->text(), QStringLiteral("http://www."));
    QCOMPARE(url->cursorPosition(), 11);
    QVERIFY(!url->hasSelectedText());
    QCOMPARE(name->text(), QStringLiteral("Werkstatt"));

    // Tab reaches the label without selecting it, then the buttons.
    QTest::keyClick(url, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), name);
    QVERIFY(!name->hasSelectedText());
    QTest::keyClick(name, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child<QPushButton>(&dialog, "btnOK"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child<QPushButton>(&dialog, "btnCancel"));
    QVERIFY(child<QPushButton>(&dialog, "btnOK")->isEnabled());
    checkAccessibleNames(&dialog);
}

void TestEditorDialogs::askLink_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("typedAddress");
    QTest::addColumn<QString>("typedLabel");
    QTest::addColumn<int>("closeKey"); // 0: the title bar's close box
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("result");
    QTest::newRow("label handed in") << "Werkstatt" << "holz.de" << "" << int(Qt::Key_Return) << true
                                     << markup::linkMarkup("http://www.holz.de", "Werkstatt");
    QTest::newRow("nothing typed") << "" << "" << "" << int(Qt::Key_Return) << true
                                   << markup::linkMarkup("http://www.", "");
    QTest::newRow("label typed") << "" << "holz.de" << "Plan" << int(Qt::Key_Return) << true
                                 << markup::linkMarkup("http://www.holz.de", "Plan");
    QTest::newRow("escape") << "Werkstatt" << "holz.de" << "" << int(Qt::Key_Escape) << false << "Werkstatt";
    QTest::newRow("close box") << "Werkstatt" << "" << "" << 0 << false << "Werkstatt";
}

void TestEditorDialogs::askLink()
{
    QFETCH(QString, label);
    QFETCH(QString, typedAddress);
    QFETCH(QString, typedLabel);
    QFETCH(int, closeKey);
    QFETCH(bool, ok);
    QFETCH(QString, result);
    const auto watch = onNextModal([=](QWidget *dialog) {
        QTest::keyClicks(edit(dialog, "EURL"), typedAddress);
        QTest::keyClick(edit(dialog, "EURL"), Qt::Key_Tab);
        QTest::keyClicks(edit(dialog, "EName"), typedLabel);
        if (closeKey)
            QTest::keyClick(edit(dialog, "EName"), Qt::Key(closeKey));
        else
            dialog->close();
    });
    QString text = label;
    QCOMPARE(AskLink(nullptr, text), ok);
    QVERIFY(watch->acted);
    QCOMPARE(text, result);
}

void TestEditorDialogs::pictureOpens()
{
    TfrmPicID dialog(nullptr);
    QVERIFY(showActive(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Bild einfügen"));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    checkNothingCut(&dialog);
    const QPoint screenCentre = dialog.screen()->availableGeometry().center();
    QVERIFY((dialog.geometry().center() - screenCentre).manhattanLength() < 40);

    auto *pellkamp = child<QRadioButton>(&dialog, "rbPellkamp");
    auto *extern_ = child<QRadioButton>(&dialog, "rbExtern");
    QVERIFY(pellkamp->isChecked());
    QVERIFY(!extern_->isChecked());
    QVERIFY(edit(&dialog, "EID")->isEnabled());
    QCOMPARE(edit(&dialog, "EID")->text(), QString());
    QVERIFY(!edit(&dialog, "EExtern")->isEnabled());
    QCOMPARE(edit(&dialog, "EExtern")->text(), QStringLiteral("http://www."));
    QVERIFY(!child<QPushButton>(&dialog, "btnOK")->isEnabled());
    QCOMPARE(QApplication::focusWidget(), child<QPushButton>(&dialog, "btnCancel"));
    checkAccessibleNames(&dialog);
}

void TestEditorDialogs::digitFilter_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("then");
    QTest::addColumn<QString>("expected");
    QTest::newRow("letters refused") << "EID" << "1a2b3" << "" << "123";
    QTest::newRow("sixth digit refused") << "EID" << "123456" << "" << "12345";
    QTest::newRow("width") << "EWidth" << "6x4 0" << "" << "640";
    QTest::newRow("height") << "EHeight" << "4.8/0" << "" << "480";
    QTest::newRow("backspace refused") << "EID" << "12" << "backspace" << "12";
    QTest::newRow("ctrl+v refused") << "EID" << "12" << "ctrl+v" << "12";
    QTest::newRow("ctrl+x refused") << "EID" << "12" << "select, ctrl+x" << "12";
    QTest::newRow("delete types nothing") << "EID" << "12" << "home, delete" << "2";
    QTest::newRow("shift+insert types nothing") << "EID" << "12" << "shift+insert" << "1234";
}

void TestEditorDialogs::digitFilter()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, then);
    QFETCH(QString, expected);
    QApplication::clipboard()->setText(QStringLiteral("34"));
    TfrmPicID dialog(nullptr);
    QVERIFY(showActive(&dialog));
    QLineEdit *target = edit(&dialog, qPrintable(field));
    QTest::mouseClick(target, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), target);
    QTest::keyClicks(target, typed);
    if (then == QLatin1String("backspace")) {
        QTest::keyClick(target, Qt::Key_Backspace);
    } else if (then == QLatin1String("ctrl+v")) {
        QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    } else if (then == QLatin1String("select, ctrl+x")) {
        QTest::keyClick(target, Qt::Key_Home);
        QTest::keyClick(target, Qt::Key_End, Qt::ShiftModifier);
        QVERIFY(target->hasSelectedText());
        QTest::keyClick(target, Qt::Key_X, Qt::ControlModifier);
    } else if (then == QLatin1String("home, delete")) {
        QTest::keyClick(target, Qt::Key_Home);
        QTest::keyClick(target, Qt::Key_Delete);
    } else if (then == QLatin1String("shift+insert")) {
        QTest::keyClick(target, Qt::Key_Insert, Qt::ShiftModifier);
    }
    QCOMPARE(target->text(), expected);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("34"));
}

void TestEditorDialogs::okFollowsNumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("ok");
    QTest::newRow("007") << "007" << true;
    QTest::newRow("0") << "0" << false;
}

void TestEditorDialogs::okFollowsNumber()
{
    QFETCH(QString, typed);
    QFETCH(bool, ok);
    TfrmPicID dialog(nullptr);
    QVERIFY(showActive(&dialog));
    QLineEdit *id = edit(&dialog, "EID");
    QTest::mouseClick(id, Qt::LeftButton);
    QTest::keyClicks(id, typed);
    QCOMPARE(child<QPushButton>(&dialog, "btnOK")->isEnabled(), ok);
    if (ok)
        QCOMPARE(dialog.PictureAddress(), QStringLiteral("http://bilder.test/Bilder/B%1.jpg").arg(typed));

    // A pasted text that is no whole number disables OK.
    QApplication::clipboard()->setText(QStringLiteral("x"));
    QTest::keyClick(id, Qt::Key_Insert, Qt::ShiftModifier);
    QVERIFY(!child<QPushButton>(&dialog, "btnOK")->isEnabled());
}

void TestEditorDialogs::radioButtonsLeaveOk()
{
    TfrmPicID dialog(nullptr);
    QVERIFY(showActive(&dialog));
    QLineEdit *id = edit(&dialog, "EID");
    QLineEdit *address = edit(&dialog, "EExtern");
    auto *ok = child<QPushButton>(&dialog, "btnOK");
    QTest::mouseClick(id, Qt::LeftButton);
    QTest::keyClicks(id, QStringLiteral("5"));
    QVERIFY(ok->isEnabled());

    choose(child<QRadioButton>(&dialog, "rbExtern"));
    QVERIFY(ok->isEnabled());
    QVERIFY(address->isEnabled());
    QVERIFY(!id->isEnabled());
    QCOMPARE(QApplication::focusWidget(), address);
    QCOMPARE(address->cursorPosition(), address->text().size());
    QVERIFY(!address->hasSelectedText());
    QCOMPARE(dialog.PictureAddress(), QStringLiteral("http://www."));

    choose(child<QRadioButton>(&dialog, "rbPellkamp"));
    QVERIFY(!address->isEnabled());
    QVERIFY(id->isEnabled());
    QCOMPARE(QApplication::focusWidget(), id);
    QTest::keyClicks(edit(&dialog, "EWidth"), QStringLiteral("640"));
    QVERIFY(ok->isEnabled());

    // The size fields play no part in OK.
    QTest::keyClick(id, Qt::Key_Delete);
    QTest::keyClick(id, Qt::Key_Home);
    QTest::keyClick(id, Qt::Key_Delete);
    QCOMPARE(id->text(), QString());
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(edit(&dialog, "EHeight"), QStringLiteral("480"));
    QVERIFY(!ok->isEnabled());
}

void TestEditorDialogs::externalAddressLength()
{
    TfrmPicID dialog(nullptr);
    QVERIFY(showActive(&dialog));
    QLineEdit *address = edit(&dialog, "EExtern");
    auto *ok = child<QPushButton>(&dialog, "btnOK");
    choose(child<QRadioButton>(&dialog, "rbExtern"));
    QVERIFY(!ok->isEnabled()); // choosing does not re-evaluate
    QTest::keyClick(address, Qt::Key_Backspace);
    QTest::keyClick(address, Qt::Key_Backspace);
    QTest::keyClick(address, Qt::Key_Backspace);
    QCOMPARE(address->text(), QStringLiteral("http://w"));
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(address, QStringLiteral("w"));
    QVERIFY(ok->isEnabled());
    QTest::keyClick(address, Qt::Key_Backspace);
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(address, QStringLiteral("w.holz.de/b.jpg"));
    QCOMPARE(dialog.PictureAddress(), QStringLiteral("http://ww.holz.de/b.jpg"));
}

void TestEditorDialogs::askPicture_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("size");
    QTest::newRow("number only") << "12" << "" << "" << true << "http://bilder.test/Bilder/B12.jpg" << "";
    QTest::newRow("with size") << "12" << "640" << "480" << true << "http://bilder.test/Bilder/B12.jpg"
                               << " Width=\"640\" Height=\"480\"";
    QTest::newRow("width only") << "12" << "640" << "" << true << "http://bilder.test/Bilder/B12.jpg" << "";
    QTest::newRow("enter on cancel") << "" << "" << "" << false << "alt" << "alt";
}

void TestEditorDialogs::askPicture()
{
    QFETCH(QString, number);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(bool, ok);
    QFETCH(QString, address);
    QFETCH(QString, size);
    const auto watch = onNextModal([=](QWidget *dialog) {
        if (number.isEmpty()) {
            // The focus starts on "Abbrechen": Enter cancels.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            return;
        }
        QTest::mouseClick(edit(dialog, "EID"), Qt::LeftButton);
        QTest::keyClicks(edit(dialog, "EID"), number);
        QTest::keyClick(edit(dialog, "EID"), Qt::Key_Tab); // to "Externer Link:"
        QTest::mouseClick(edit(dialog, "EWidth"), Qt::LeftButton);
        QTest::keyClicks(edit(dialog, "EWidth"), width);
        QTest::keyClick(edit(dialog, "EWidth"), Qt::Key_Tab);
        QTest::keyClicks(edit(dialog, "EHeight"), height);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    QString gotAddress = QStringLiteral("alt");
    QString gotSize = QStringLiteral("alt");
    QCOMPARE(AskPicture(nullptr, gotAddress, gotSize), ok);
    QVERIFY(watch->acted);
    QCOMPARE(gotAddress, address);
    QCOMPARE(gotSize, size);
}

QTEST_MAIN(TestEditorDialogs)
#include "tst_editordialogs.moc"
