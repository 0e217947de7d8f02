// Renders the SVG icon into the PNG sizes of the hicolor theme, so the bitmaps
// always match the drawing: render-icon ICON.svg OUTDIR SIZE...
// writes OUTDIR/<SIZE>x<SIZE>/apps/<name>.png.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <iostream>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "Usage: render-icon ICON.svg OUTDIR SIZE...\n";
    return 2;
  }
  // No window is shown: the offscreen platform needs no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString svg = QString::fromLocal8Bit(argv[1]);
  QSvgRenderer renderer(svg);
  if (!renderer.isValid()) {
    std::cerr << "render-icon: cannot read " << argv[1] << "\n";
    return 1;
  }
  const QString name = QFileInfo(svg).completeBaseName() + ".png";
  for (int i = 3; i < argc; ++i) {
    const int size = QString::fromLocal8Bit(argv[i]).toInt();
    if (size <= 0) {
      std::cerr << "render-icon: " << argv[i] << " is not a size\n";
      return 2;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    const QString folder =
        QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
    if (!QDir().mkpath(folder) || !image.save(folder + "/" + name)) {
      std::cerr << "render-icon: cannot write " << folder.toStdString() << "/" << name.toStdString()
                << "\n";
      return 1;
    }
  }
  return 0;
}
