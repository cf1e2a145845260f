#include <QAudioOutput>
#include <QMediaPlayer>
#include <QVideoWidget>

#include "views/items/mediaview.h"

extern "C" Q_DECL_EXPORT QWidget *quorvantis_make_media_view(QWidget *parent, const QUrl &url,
                                                             std::function<void(QWidget *)> failed)
{
    auto *video = new QVideoWidget(parent);
    auto *player = new QMediaPlayer(video);
    auto *audio = new QAudioOutput(player);
    player->setAudioOutput(audio);
    player->setVideoOutput(video);
    QObject::connect(player, &QMediaPlayer::errorOccurred, video,
                     [video, failed = std::move(failed)] { failed(video); });
    player->setSource(url);
    player->play();
    return video;
}
