// A minimal notification area on the session bus, as KDE Plasma, GNOME's AppIndicator
// extension, XFCE's panel and waybar are to a program: it owns the StatusNotifierWatcher
// name, says that a host is there, and prints what a host shows of every item that
// registers. The desktop tests read its output.
//
//   sni_host ICON_FOLDER
//
// Prints, one line each: "ready"; for an item "registered SERVICE PATH pid=N" (N: the
// process behind it), then "Title=...",
// "Status=...", "ToolTip=<its title>" and "IconPixmap=WxH ..." (each picture saved as
// ICON_FOLDER/WxH.png); and "unregistered SERVICE" when the item leaves the bus.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QImage>
#include <QTimer>
#include <cstdio>

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

void Say(const QString& line) {
  std::printf("%s\n", line.toUtf8().constData());
  std::fflush(stdout);
}

// a(iiay): the pictures of an icon, ARGB32 in network byte order.
QList<QImage> Pictures(const QDBusArgument& argument) {
  QList<QImage> pictures;
  argument.beginArray();
  while (!argument.atEnd()) {
    int width = 0, height = 0;
    QByteArray bytes;
    argument.beginStructure();
    argument >> width >> height >> bytes;
    argument.endStructure();
    if (width <= 0 || height <= 0 || bytes.size() != qsizetype(width) * height * 4) continue;
    QImage picture(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const auto* p = reinterpret_cast<const uchar*>(bytes.constData()) + (qsizetype(y) * width + x) * 4;
        picture.setPixel(x, y, qRgba(p[1], p[2], p[3], p[0]));
      }
    pictures.push_back(picture);
  }
  argument.endArray();
  return pictures;
}

class TWatcher : public QDBusVirtualObject {
 public:
  TWatcher(QDBusConnection Bus, QString IconFolder) : bus_(std::move(Bus)), icons_(std::move(IconFolder)) {
    gone_.setConnection(bus_);
    gone_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&gone_, &QDBusServiceWatcher::serviceUnregistered, [this](const QString& service) {
      items_.removeAll(service);
      gone_.removeWatchedService(service);
      Say("unregistered " + service);
    });
  }

  QString introspect(const QString&) const override {
    return QStringLiteral(
        "<interface name=\"org.kde.StatusNotifierWatcher\">"
        "<method name=\"RegisterStatusNotifierItem\"><arg name=\"service\" type=\"s\" direction=\"in\"/></method>"
        "<method name=\"RegisterStatusNotifierHost\"><arg name=\"service\" type=\"s\" direction=\"in\"/></method>"
        "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
        "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
        "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
        "</interface>");
  }

  bool handleMessage(const QDBusMessage& Message, const QDBusConnection& Connection) override {
    const QString member = Message.member();
    if (Message.interface() == kProperties && member == QLatin1String("Get") && Message.arguments().size() == 2) {
      const QVariant value = Property(Message.arguments().at(1).toString());
      Connection.send(value.isValid() ? Message.createReply(QVariant::fromValue(QDBusVariant(value)))
                                      : Message.createErrorReply(QDBusError::InvalidArgs, "no such property"));
      return true;
    }
    if (Message.interface() == kProperties && member == QLatin1String("GetAll")) {
      QVariantMap all;
      for (const char* name : {"RegisteredStatusNotifierItems", "IsStatusNotifierHostRegistered", "ProtocolVersion"})
        all.insert(QLatin1String(name), Property(QLatin1String(name)));
      Connection.send(Message.createReply(QVariant::fromValue(all)));
      return true;
    }
    if (Message.interface() == kWatcherService && member == QLatin1String("RegisterStatusNotifierHost")) {
      Connection.send(Message.createReply());
      return true;
    }
    if (Message.interface() == kWatcherService && member == QLatin1String("RegisterStatusNotifierItem") &&
        Message.arguments().size() == 1) {
      // A bus name, or an object path on the caller's own connection.
      QString service = Message.arguments().at(0).toString();
      QString path = QStringLiteral("/StatusNotifierItem");
      if (service.startsWith(QLatin1Char('/'))) {
        path = service;
        service = Message.service();
      }
      Connection.send(Message.createReply());
      items_.push_back(service);
      gone_.addWatchedService(service);
      Say(QStringLiteral("registered %1 %2 pid=%3")
              .arg(service, path)
              .arg(bus_.interface()->servicePid(service).value()));
      QTimer::singleShot(0, [this, service, path] { Describe(service, path); });
      return true;
    }
    return false;  // introspection: answered from introspect()
  }

 private:
  QVariant Property(const QString& Name) const {
    if (Name == QLatin1String("RegisteredStatusNotifierItems")) return items_;
    if (Name == QLatin1String("IsStatusNotifierHostRegistered")) return true;
    if (Name == QLatin1String("ProtocolVersion")) return 0;
    return {};
  }

  // What a host reads of a new item to show it.
  void Describe(const QString& Service, const QString& Path) {
    QDBusMessage get = QDBusMessage::createMethodCall(Service, Path, kProperties, QStringLiteral("GetAll"));
    get.setArguments({kItemInterface});
    const QDBusMessage reply = bus_.call(get, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
      Say("properties of " + Service + " not read: " + reply.errorMessage());
      return;
    }
    const QVariantMap all = qdbus_cast<QVariantMap>(reply.arguments().at(0));
    Say("Title=" + all.value(QStringLiteral("Title")).toString());
    Say("Status=" + all.value(QStringLiteral("Status")).toString());
    {
      // (sa(iiay)ss): icon name, pictures, title, text
      const QDBusArgument tip = all.value(QStringLiteral("ToolTip")).value<QDBusArgument>();
      QString iconName, title, text;
      tip.beginStructure();
      tip >> iconName;
      Pictures(tip);
      tip >> title >> text;
      tip.endStructure();
      Say("ToolTip=" + title);
    }
    QString sizes;
    for (const QImage& picture : Pictures(all.value(QStringLiteral("IconPixmap")).value<QDBusArgument>())) {
      const QString size = QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height());
      picture.save(icons_ + QLatin1Char('/') + size + QStringLiteral(".png"));
      sizes += (sizes.isEmpty() ? QString() : QStringLiteral(" ")) + size;
    }
    Say("IconPixmap=" + sizes);
  }

  QDBusConnection bus_;
  QString icons_;
  QStringList items_;
  QDBusServiceWatcher gone_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: sni_host ICON_FOLDER\n");
    return 2;
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  TWatcher watcher(bus, QString::fromLocal8Bit(argv[1]));
  if (!bus.registerVirtualObject(kWatcherPath, &watcher) || !bus.registerService(kWatcherService)) {
    std::fprintf(stderr, "sni_host: cannot serve %s on the session bus: %s\n", qPrintable(kWatcherService),
                 qPrintable(bus.lastError().message()));
    return 1;
  }
  Say(QStringLiteral("ready"));
  return QCoreApplication::exec();
}
