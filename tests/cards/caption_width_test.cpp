// Captions read in full with the free fonts that stand in for the Windows ones: no label or
// button of the card dialog or of the main window is smaller than its caption needs.
#include "cards/untConfigComandas.h"
#include "shell/Application.h"
#include "shell/untPrincipal.h"

#include <QAbstractButton>
#include <QLayout>
#include <QStyle>
#include <QStyleOptionButton>
#include <gtest/gtest.h>

namespace {
// The room a caption has, and the room it needs. A label needs its size hint. A push button
// needs its text and picture inside the style's contents rectangle: its size hint would also
// carry the style's fixed minimum width for any button with a caption, which has nothing to do
// with the caption. A radio button needs its size hint: indicator, spacing and text.
struct Room {
    QSize has, needs;
};

Room roomOf(QWidget* w) {
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        option.features = button->isFlat() ? QStyleOptionButton::Flat : QStyleOptionButton::None;
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        QSize needs = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
        if (!button->icon().isNull())
            needs = QSize(needs.width() + button->iconSize().width() + 4,
                          std::max(needs.height(), button->iconSize().height()));
        return {contents.size(), needs};
    }
    return {w->size(), w->sizeHint()};
}

// Every caption of a window that is cut, across or down, with the room it has and needs.
std::vector<std::string> cutCaptions(QWidget& window) {
    if (window.layout()) window.layout()->activate();
    std::vector<std::string> cut;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        const auto* label = qobject_cast<QLabel*>(w);
        const auto* button = qobject_cast<QAbstractButton*>(w);
        const QString text = label ? label->text() : button ? button->text() : QString();
        // Pictures are drawn to fit; only captions are read.
        if (text.isEmpty()) continue;
        const Room room = roomOf(w);
        if (room.has.width() < room.needs.width() || room.has.height() < room.needs.height())
            cut.push_back(QStringLiteral("\"%1\": %2x%3 < %4x%5")
                              .arg(text)
                              .arg(room.has.width())
                              .arg(room.has.height())
                              .arg(room.needs.width())
                              .arg(room.needs.height())
                              .toStdString());
    }
    return cut;
}
} // namespace

TEST(Captions, ReadInFullWithTheProgramsFonts) {
    // Before any window measures a text, as the program does at start.
    installFontSubstitutes();
    TfrmConfigComandas dialog;
    EXPECT_EQ(cutCaptions(dialog), std::vector<std::string>{});
    TfrmPrincipal window;
    EXPECT_EQ(cutCaptions(window), std::vector<std::string>{});
}

// The dialog with each of the free fonts a site may have in place of Tahoma.
TEST(Captions, DialogReadsInFullWithEachFreeFont) {
    for (const char* family : {"DejaVu Sans", "Liberation Sans"}) {
        SCOPED_TRACE(family);
        TfrmConfigComandas dialog;
        QFont font(QString::fromLatin1(family));
        font.setPointSize(8);
        dialog.setFont(font);
        EXPECT_EQ(cutCaptions(dialog), std::vector<std::string>{});
    }
}
