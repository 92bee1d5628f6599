#include "app/desktop/MprisPlayerAdaptor.h"

#include "app/desktop/MprisService.h"

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_service(service) {
    // Seeked is the only signal, and the service decides when it is due.
    setAutoRelaySignals(false);
}

QString MprisPlayerAdaptor::PlaybackStatus() const {
    return m_service->PlaybackStatus();
}

double MprisPlayerAdaptor::Rate() const {
    return m_service->Rate();
}

double MprisPlayerAdaptor::MinimumRate() const {
    return MprisService::kMinimumRate;
}

double MprisPlayerAdaptor::MaximumRate() const {
    return MprisService::kMaximumRate;
}

void MprisPlayerAdaptor::SetRate(double rate) {
    m_service->SetRate(rate);
}

QVariantMap MprisPlayerAdaptor::Metadata() const {
    return m_service->Metadata();
}

double MprisPlayerAdaptor::Volume() const {
    return m_service->Volume();
}

void MprisPlayerAdaptor::SetVolume(double volume) {
    m_service->SetVolume(volume);
}

qlonglong MprisPlayerAdaptor::Position() const {
    return m_service->PositionUs();
}

bool MprisPlayerAdaptor::CanGoNext() const {
    return m_service->CanGoNext();
}

bool MprisPlayerAdaptor::CanGoPrevious() const {
    return m_service->CanGoPrevious();
}

bool MprisPlayerAdaptor::CanPlay() const {
    return m_service->CanPlay();
}

bool MprisPlayerAdaptor::CanPause() const {
    return m_service->CanPause();
}

bool MprisPlayerAdaptor::CanSeek() const {
    return m_service->CanSeek();
}

void MprisPlayerAdaptor::Next() {
    m_service->Next();
}

void MprisPlayerAdaptor::Previous() {
    m_service->Previous();
}

void MprisPlayerAdaptor::Pause() {
    m_service->Pause();
}

void MprisPlayerAdaptor::PlayPause() {
    m_service->PlayPause();
}

void MprisPlayerAdaptor::Stop() {
    m_service->Stop();
}

void MprisPlayerAdaptor::Play() {
    m_service->Play();
}

void MprisPlayerAdaptor::Seek(qlonglong Offset) {
    m_service->Seek(Offset);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
    m_service->SetPosition(TrackId, Position);
}

void MprisPlayerAdaptor::OpenUri(const QString& Uri) {
    m_service->OpenUri(Uri);
}
