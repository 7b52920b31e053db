#pragma once
// Where the bench's window goes and how big its pictures are: pure arithmetic on
// rectangles, so that the layout's rules are tested without a window.
//
// The window opens beside the main window where the screen leaves room for it, else on
// the side with more room, never outside the screen's available area. The four pictures
// share one magnification: the three grid pictures are squares of one side, the largest
// that fits every one of their boxes, and the sinogram is as tall as they are whatever
// its number of views (its rows are stretched or thinned to that height).

#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

namespace quarvel {

// Where the bench's frame goes beside the main window's frame (both in screen
// coordinates), and where the main window's frame then is; `frame` is what the window
// manager adds around a client area (0 x 0 without one), `preferred` and `minimum` are
// client sizes. Right of the main window when the room there takes the minimum width,
// else left of it; when neither does but the screen is wide enough for both, the main
// window moves left just enough; on a narrower screen the bench takes the whole width.
// Never larger than `available`, whose top the frame does not cross.
struct TBenchPlacement {
  QRect Bench;
  QPoint Main;
};
TBenchPlacement BesideMainWindow(const QRect& mainFrame, const QSize& frame, const QSize& preferred,
                                 const QSize& minimum, const QRect& available);

// A frame moved, and shrunk where it must be, to lie inside `available`: for a window
// the window manager framed only after it was placed (its title bar then uncounted).
QRect InsideScreen(const QRect& frame, const QRect& available);

// The common side of square pictures, one per room (each room the area its picture may
// fill): the smallest room's shorter side, at least 1.
int SharedSide(const std::vector<QSize>& rooms);

// The letter after '&' in a control's text (lower case), or 0 when it has none ("&&" is a
// literal ampersand).
QChar MnemonicOf(const QString& text);

}  // namespace quarvel
