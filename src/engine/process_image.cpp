#include "engine/process_image.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "engine/image_bytes.h"
#include "engine/image_edit.h"
#include "engine/image_file.h"
#include "platform/file_services.h"

namespace qm::engine {
namespace {

// The file's last `count` bytes (fewer when it is shorter), in one read; fewer when they cannot be read.
std::vector<std::uint8_t> ReadLast(const InputImageFile& input, std::size_t count) {
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(std::min<std::uint64_t>(input.Size(), count)));
  std::error_code error;
  tail.resize(input.ReadAt(input.Size() - tail.size(), tail, error));
  return tail;
}

}  // namespace

ProcessResult ProcessImage(std::string_view file_name, const ProcessSettings& settings, IptcFields& fields,
                           std::vector<std::uint8_t>& image_buffer) {
  fields.Clear();
  const std::string name(file_name);
  InputImageFile input;
  if (input.Open(platform::PathOf(std::string(settings.InputFolder) + name)) !=
      InputImageFile::Status::kRead) {
    return {ProcessOutcome::kNothingToRead, input.Detail()};
  }
  if (settings.MaxFileSize > 0 && input.Size() > settings.MaxFileSize) {
    return {ProcessOutcome::kTooLarge, std::to_string(input.Size()) + " bytes"};
  }

  ImageBytes image(input, image_buffer);
  OutputPlan plan;
  ProcessResult result = EditImage(image, settings, fields, plan);
  if (image.Failed()) return {ProcessOutcome::kShortRead, image.Failure()};
  result.Shape =
      JudgeImageShape(image.Get(0, 3), [&input](std::size_t count) { return ReadLast(input, count); });
  if (!OutputWritten(result.Outcome)) return result;
  result.WrittenAsRead = plan.ChangedEnd == 0 && plan.CutBegin == plan.CutEnd;
  const std::filesystem::path output = platform::PathOf(std::string(settings.OutputFolder) + name);
  const OutputWrite written = WriteOutputImage(output, plan, image, input, settings.Pending);
  if (!written.Failure.empty()) {
    result.Outcome = written.InputChanged ? ProcessOutcome::kInputChanged : ProcessOutcome::kOutputFailed;
    result.Detail = written.Failure;
  }
  result.ReplacedOutput = written.Replaced;
  return result;
}

}  // namespace qm::engine
