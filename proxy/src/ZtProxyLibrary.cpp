// Library entry of libZtEventLoggerVdlProxy_2.1. The class factory and the
// version function join here as the event logger object is built.
