#pragma once

#include <QImage>
#include <QString>

// The kinds of made-up game screen the demo snapshots show.
enum class Scene { Space, Platforms, Maze, Racer, Fighters };

// Paints a 384x224 game screen with the title on top and a small caption (the file name) at the bottom right.
// The seed varies the details, so two games of one scene still look different.
QImage paintSnapshot(Scene scene, const QString& title, const QString& caption, int hue, quint32 seed);
