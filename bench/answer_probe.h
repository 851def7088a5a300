// How long the window's event loop takes to answer: posts one event after another to itself and
// keeps the longest time one waited.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <algorithm>

namespace qm::bench {

class AnswerProbe : public QObject {
public:
    void start() {
        running_ = true;
        post();
    }
    void stop() { running_ = false; }
    double longestMs() const { return longest_ / 1e6; }
    int answered() const { return answered_; }

protected:
    void customEvent(QEvent*) override {
        longest_ = std::max(longest_, posted_.nsecsElapsed());
        ++answered_;
        if (running_) post();
    }

private:
    void post() {
        posted_.start();
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }
    QElapsedTimer posted_;
    qint64 longest_ = 0;
    int answered_ = 0;
    bool running_ = false;
};

}  // namespace qm::bench
