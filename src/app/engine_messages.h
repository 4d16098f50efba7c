#pragma once

#include <string>
#include <string_view>

#include "app/main_view.h"
#include "engine/process_image.h"

// What the user sees of the engine's work on one file: the engine reports through its result, and these turn
// it into the main window's packet views and messages.

namespace qm::app {

/// Tells that the file at `path` ended before its size: "Error reading file ..." with the path on the next
/// line, titled with the bare program name, OK.
void ShowShortReadMessage(MessageSink& sink, std::string_view path);

/// Shows what the result of processing the file at `path` holds for the user, in this order: the packet as
/// read in txtXMP(0) between apostrophes, its length in characters in lblLentxtXMP(0) after "xmp avant=";
/// then either the packet as written in txtXMP(1) and lblLentxtXMP(1) ("xmp après="), or the message of a
/// short read or of a packet that does not parse. The parse-error message reads "Parsing error:" and the path
/// on the next line; its details hold "Parsing error:", the start of the packet, ", Ligne: ", the line,
/// ", position: ", the position, the line's text and the reason. Views are left as they are when the result
/// holds no packet.
void ShowProcessResult(MainView& view, std::string_view path, const engine::ProcessResult& result);

/// For a written output, what the user should know of it, "; " between two notes: "not a JPEG image" (with
/// ", its bytes were written as read" when nothing in it changed) or "the image data has no end marker";
/// then "its XMP packet was kept as read: " and why, for a packet kept as read; "" when there is nothing to
/// say.
std::string WrittenOutputNote(const engine::ProcessResult& result);

}  // namespace qm::app
