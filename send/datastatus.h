#pragma once

namespace vantrel {

// What the data worker reports on the status line, in order; the transfer words it.
enum class DataStatus
{
    SendingHeader,
    SendingData,
    Completed,
    ConnectionReset,  // the data header or a block was not fully written
    SourceUnopenable, // the file or archive cannot be opened
    SourceUnreadable, // it cannot be read, or positioned at the resume offset
    SourceShrank,     // it ended before the announced length
    SourceChanged,    // the file of a stored archive made while sent changed its size or content
    ResumeBeyondEnd,  // the other side asked to resume past the end of the data
};

} // namespace vantrel
