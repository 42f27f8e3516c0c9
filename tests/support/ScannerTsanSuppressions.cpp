// Linked into the tests that also run under ThreadSanitizer. The system's Qt libraries are not
// instrumented and QMutex uses futexes ThreadSanitizer cannot see, so two orderings Qt provides
// are invisible to it, and only those are silenced: a finishing QThread wakes its "done" wait
// condition, which ~QThread destroys after wait() returned; and a queued signal or call travels
// through the event queue under that mutex (allocated in the sender's thread, freed and read by
// sendPostedEvents and ScannerProbe's slots in the receiver's). QtTest's own calls are left out.
// Any race with a frame of the application's code elsewhere still stops the run.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:QWaitCondition::~QWaitCondition\n"
           "race:QCoreApplicationPrivate::sendPostedEvents\n"
           "race:ScannerProbe::watch\n"
           "called_from_lib:libQt6Test.so.6\n";
}
