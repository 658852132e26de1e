#pragma once

#include <QByteArrayView>
#include <QString>
#include <functional>
#include <initializer_list>
#include <vector>

// Replaces a file whole or not at all: the bytes go to a temporary file in the same
// folder, every write, the flush and the sync to disk are checked, and only then is
// it renamed over the old file. On any failure the old file (or its absence) stays
// exactly as it was.
class AtomicFile {
  public:
    // Writes the pieces one after the other. False with the system's reason on failure.
    static bool write(const QString& path, const std::vector<QByteArrayView>& pieces,
                      QString* reason);

    // Failures tests can put in the way of the next writes, as a full disk or a rename
    // the system refuses would.
    enum class Fault { None, ShortWrite, FailedFlush, FailedCommit };
    class InjectedFault {
      public:
        explicit InjectedFault(Fault f);
        ~InjectedFault();
        InjectedFault(const InjectedFault&) = delete;
        InjectedFault& operator=(const InjectedFault&) = delete;

      private:
        Fault previous_;
    };

    // Runs fn on this thread between the sync and the real rename of the next writes,
    // so a test can make that rename fail for real (by taking the folder away).
    class BeforeCommit {
      public:
        explicit BeforeCommit(std::function<void()> fn);
        ~BeforeCommit();
        BeforeCommit(const BeforeCommit&) = delete;
        BeforeCommit& operator=(const BeforeCommit&) = delete;

      private:
        std::function<void()> previous_;
    };

  private:
    static Fault& injected();
    static std::function<void()>& before_commit();
};
