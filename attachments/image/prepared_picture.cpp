#include "attachments/image/prepared_picture.h"

#include "attachments/image/encode_stage.h"
#include "attachments/image/flatten_stage.h"
#include "attachments/image/scale_stage.h"

namespace attachments {
namespace {

// With `encodeRows`, a picture whose rows finish top to bottom is encoded row by row
// instead of being kept whole.
PreparedImage prepare(ImageDecoder& decoder, bool encodeRows, const PipelineOptions& pipeline) {
    EncodeStage encode;
    OrientStage orient(decoder.orientation(), encodeRows ? &encode : nullptr);
    FlattenStage flatten(orient);
    ScaleStage scale(flatten);
    {
        // The decoder runs here; the stages run on the pipeline's worker.
        RowPipeline rows(scale, pipeline);
        decoder.decode(rows);
        rows.finish();
    }
    scale.finish();
    PreparedImage prepared;
    prepared.jpeg = encode.finish();
    prepared.picture = orient.takePicture();
    return prepared;
}

} // namespace

PreparedImage prepareImage(ImageDecoder& decoder, const PipelineOptions& pipeline) {
    return prepare(decoder, true, pipeline);
}

RgbPicture preparePicture(ImageDecoder& decoder, const PipelineOptions& pipeline) {
    return prepare(decoder, false, pipeline).picture;
}

} // namespace attachments
