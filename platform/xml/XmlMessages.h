#pragma once
// Where libxml2's own messages go. libxml2 prints some problems (a body whose bytes do not match
// its declared encoding, for one) to standard error even when a parse asks for no messages; every
// parse here routes them, one line per message, to a sink the program installs (its debugger
// trace), the parse errors of malformed input among them. Without a sink they are dropped.
// Threads: safe on any thread; the sink is called on the thread that parses.

namespace platform::xml {

using XmlMessageSink = void (*)(const char* line);

// Installs the sink for the whole process (null drops the messages); returns the previous one.
XmlMessageSink SetXmlMessageSink(XmlMessageSink sink);

// Routes the generic and structured messages of the calling thread (and, as their default, of
// threads that start using libxml2 later). Every parse calls it; cheap after the first call.
void RouteXmlMessagesOnThisThread();

}  // namespace platform::xml
