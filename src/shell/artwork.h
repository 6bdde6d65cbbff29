#pragma once
// The program's own pictures, drawn in code: the icon, the header banner and the button pictures.
#include <QIcon>
#include <QPixmap>

namespace artwork {

QIcon programIcon();
// The program's icon with a red mark: something the gate needs is down.
QIcon programIconAlert();
QPixmap banner(const QSize& size);

enum class ButtonPicture { Reconnect, Cards, Exit };
QIcon buttonIcon(ButtonPicture picture);

} // namespace artwork
