#include "engine/process_image.h"

#include <algorithm>
#include <filesystem>

#include "engine/image_edit.h"
#include "engine/image_file.h"

namespace qm::engine {
namespace {

// The name as the folder listing gives it, cut at its first NUL; a name without one is kept whole.
std::string StripAtNul(std::string_view name) { return std::string(name.substr(0, name.find('\0'))); }

}  // namespace

ProcessResult ProcessImage(std::string_view file_name, const ProcessSettings& settings, IptcFields& fields,
                           std::vector<std::uint8_t>& image_buffer) {
  fields.Clear();
  const std::string name = StripAtNul(file_name);
  InputImageFile input;
  switch (input.Read(std::filesystem::path(std::string(settings.InputFolder) + name), image_buffer,
                     settings.MaxFileSize)) {
    case InputImageFile::Status::kNothingToRead:
      return {ProcessOutcome::kNothingToRead, input.Detail()};
    case InputImageFile::Status::kTooLarge:
      return {ProcessOutcome::kTooLarge, input.Detail()};
    case InputImageFile::Status::kShortRead:
      return {ProcessOutcome::kShortRead, input.Detail()};
    case InputImageFile::Status::kRead:
      break;
  }

  const std::span<std::uint8_t> image(image_buffer.data(), input.Size());
  OutputPlan plan;
  ProcessResult result = EditImage(image, settings, fields, plan);
  result.Shape =
      JudgeImageShape(image.first(std::min<std::size_t>(image.size(), 3)), input.ReadTail(kShapeTailBytes));
  if (!OutputWritten(result.Outcome)) return result;
  result.WrittenAsRead = plan.ChangedEnd == 0 && plan.CutBegin == plan.CutEnd;
  const std::filesystem::path output(std::string(settings.OutputFolder) + name);
  if (std::string failure = WriteOutputImage(output, image, plan, input, settings.Pending);
      !failure.empty()) {
    result.Outcome = ProcessOutcome::kOutputFailed;
    result.Detail = std::move(failure);
  }
  return result;
}

}  // namespace qm::engine
