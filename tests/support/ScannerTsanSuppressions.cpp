// Linked into the scanner tests that also run under ThreadSanitizer.
//
// The Qt libraries of the system are not instrumented, and QMutex is built on futexes
// that ThreadSanitizer cannot see. Two kinds of ordering Qt provides are therefore
// invisible to it, and only those are silenced here:
// - a finishing QThread wakes its "done" wait condition, QThread::wait() returns under
//   that mutex, and ~QThread destroys the condition;
// - a queued signal or call is handed to the receiving thread through the event queue,
//   under that mutex: the event Qt allocates in the sending thread is freed by
//   sendPostedEvents in the receiving one, and ScannerProbe's slots (test code) read the
//   arguments it carries, and nothing else that another thread writes.
// QtTest's watchdog thread ends the same way as the first case; the calls made by the
// QtTest library itself are left out (not those of the tests, compiled into the test).
// Any race with a frame of the application's code elsewhere still stops the run.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:QWaitCondition::~QWaitCondition\n"
           "race:QCoreApplicationPrivate::sendPostedEvents\n"
           "race:ScannerProbe::watch\n"
           "called_from_lib:libQt6Test.so.6\n";
}
