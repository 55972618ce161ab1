// CPSDReader: reads a layered PSD image (version 1, greyscale or RGB, 8 bits
// per sample, raw or PackBits channels) and turns every layer into its own
// image. The 2D scene builder makes one scene layer per PSD layer from them.
// On request each converted image (and the merged image) is also written
// beside the PSD file as a BMP and/or DDS file, kept in the reader's file
// list.
//
// The file is untrusted: every count, length and rectangle is checked
// against what is left of its section and against the limits below, and
// anything that does not fit fails Load.
#pragma once

#include "engine/core/List.h"
#include "engine/core/Point2.h"
#include "engine/core/ResourceList.h"
#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/graphics/ImageReader.h"

namespace psd { class Cursor; }

// One layer record. A converted pixel holds one byte per image channel: the
// colour channels by falling id (blue, green, red for RGB; the grey alone
// for greyscale), then the transparency. Layer masks have their own
// rectangle and no byte in the image.
class CPSDLayer : public CValueBase {
    ORV_VALUE_CLASS(CPSDLayer)

public:
    CPSDLayer() = default;
    // Deep copy of the lists, the image and the name.
    CPSDLayer(const CPSDLayer& other);
    CPSDLayer& operator=(const CPSDLayer&) = delete;
    ~CPSDLayer() override;

    // Layers with this flag carry no pixels; "</Layer group>" with it closes
    // a group.
    static constexpr u8 kFlagGroupData = 0x10;

    // Document pixels; right and bottom exclusive.
    i32 left = 0, top = 0, right = 0, bottom = 0;
    // Channels per pixel of the image (the file's channels less its masks).
    u16 channelCount = 0;
    // The file's channels: {id sign-extended from 16 bits (0xFFFFFFFF the
    // transparency, 0xFFFFFFFE the user mask), data length}.
    CList<CPoint2> channels;
    // width x height x channelCount bytes, 16-byte aligned; null when empty.
    u8* image = nullptr;
    u32 imageSize = 0;
    u32 imageWidth = 0, imageHeight = 0;
    // Four-character key as a big-endian number ('norm', 'mul ', ...).
    u32 blendMode = 0;
    u8 opacity = 0, clipping = 0, flags = 0, filler = 0;
    // Grey blending ranges, then one {source, destination} per channel.
    u32 compositeSource = 0, compositeDestination = 0;
    CList<CPoint2> channelRanges;
    CString name;
};

class CPSDReader : public CImageReader {
    ORV_VALUE_CLASS(CPSDReader)

public:
    struct Header {
        u32 signature;
        u16 version;
        u8 reserved[6];
        u16 channels;
        u32 height;
        u32 width;
        u16 depth;
        u16 colourMode;
    };
    // The image resource read last.
    struct Resource {
        u32 signature;
        u16 id;
        u32 size;
    };
    // Resource 1005, read as u16, u32, u16, u16, u32, u16: the first and the
    // fourth are the integer dots per inch across and down.
    struct ResolutionInfo {
        u16 horizontal;
        u32 horizontalRest;
        u16 widthUnit;
        u16 vertical;
        u32 verticalRest;
        u16 heightUnit;
        u32 present;
    };
    // Resource 1000: channels, rows, columns, depth, mode of the old format.
    struct OldHeader {
        u16 values[5];
        u32 present;
    };
    // Resource 1007.
    struct DisplayInfo {
        u16 values[6];
        u8 flag;
        u8 kind;
        u32 present;
    };
    // Resources 1033 and 1036: six u32, two u16, the data (owned).
    struct Thumbnail {
        u32 values[6];
        u16 values2[2];
        u8* data;
        u32 size;
        u32 present;
    };

    static constexpr u32 kColourGreyscale = 1;
    static constexpr u32 kColourIndexed = 2;
    static constexpr u32 kColourRGB = 3;
    static constexpr u32 kColourDuotone = 8;

    // Sanity limits of an untrusted file: the format's own side and channel
    // limits, and memory for one converted image and for all of them.
    static constexpr u32 kMaxSide = 30000;
    static constexpr u32 kMaxChannels = 56;
    static constexpr u32 kMaxImageBytes = 1u << 28;
    static constexpr u64 kMaxTotalImageBytes = u64(1) << 30;
    static constexpr u64 kMaxFileBytes = u64(1) << 30;
    // Layer-sized images never hold more samples from the data than the
    // file's bytes could expand to: PackBits makes at most 128 bytes of 2, so
    // a layer whose channels hold its rectangle always fits. The 255 fill a
    // channel's data does not reach is charged against the file's own size:
    // past it a layer keeps its record but no image. Document-sized ones are
    // bounded by the limits above alone; the whole file is checked before
    // any of them is allocated.
    static constexpr u64 kMaxExpansion = 64;

    // Layer-sized images, nothing written, big-endian numbers.
    CPSDReader() = default;
    CPSDReader(const CPSDReader& other);
    CPSDReader& operator=(const CPSDReader&) = delete;
    ~CPSDReader() override;

    // Frees the layers, the colour mode data, the thumbnail and the written
    // files, then the base release. The settings stay. Returns 1.
    i32 Release() override;
    // Reads path, replacing what an earlier Load read. 1, or 0 when the file
    // cannot be read or is not a PSD this reader takes; the layers read
    // before a failure stay in the list. A colour mode other than greyscale
    // and RGB fails at the header, which GetHeader still shows.
    i32 Load(const char* path) override;

    // CPSDLayer elements in file order.
    CResourceList* GetLayerList() { return &m_layers; }
    u32 GetLayerCount() const { return m_layers.GetCount(); }
    const CPSDLayer* GetLayer(u32 index) const;

    const char* GetPath() const { return m_path.GetText(); }
    const Header& GetHeader() const { return m_header; }
    const u8* GetColourModeData() const { return m_colourData; }
    u32 GetColourModeDataSize() const { return m_colourDataSize; }
    const Resource& GetLastResource() const { return m_resource; }
    const char* GetLastResourceName() const { return m_resourceName.GetText(); }
    u32 GetBytesPerSample() const { return m_bytesPerSample; }
    const ResolutionInfo& GetResolution() const { return m_resolution; }
    const OldHeader& GetOldHeader() const { return m_oldHeader; }
    const DisplayInfo& GetDisplayInfo() const { return m_displayInfo; }
    const Thumbnail& GetThumbnail() const { return m_thumbnail; }
    u32 GetFlag1034() const { return m_flag1034; }
    u32 GetGlobalAngle() const { return m_globalAngle; }
    u16 GetIndexedColourCount() const { return m_indexedColourCount; }
    u16 GetTransparencyIndex() const { return m_transparencyIndex; }
    u16 GetImageCompression() const { return m_imageCompression; }

    // 1 reads numbers little-endian instead of the PSD's big-endian.
    void SetLittleEndian(u32 on) { m_littleEndian = on; }
    // 1 (default): each image has its layer's size; 0: the document's, the
    // layer placed at its rectangle and 0 around it.
    void SetLayerSized(u32 on) { m_layerSized = on; }
    void SetWriteDDS(u32 on) { m_writeDDS = on; }
    void SetWriteBMP(u32 on) { m_writeBMP = on; }

private:
    void FreeData();
    bool ReadHeader(psd::Cursor& in);
    bool ReadColourModeData(psd::Cursor& in);
    bool ReadResources(psd::Cursor& in);
    bool ReadResource(u16 id, psd::Cursor data);
    // What the layer images may still take: samples decoded from the data
    // (document-sized: whole images), and 255 fill no data reaches.
    struct ImageBudget {
        u64 samples;
        u64 fill;
    };
    bool ReadLayers(psd::Cursor& in, ImageBudget budget);
    bool ReadLayerRecord(psd::Cursor& in, CPSDLayer* layer);
    // With dryRun the layer's data is checked and decoded into nothing and
    // charged to budget; no image is allocated or written, the layer is left
    // as it was, and *withImage says whether the budget leaves it its image.
    // Without dryRun the layer is converted as *withImage says.
    bool ConvertLayer(psd::Cursor& in, CPSDLayer* layer, ImageBudget* budget, bool* withImage, bool dryRun);
    bool ReadLayerSectionTail(psd::Cursor& section);
    bool ReadMergedImage(psd::Cursor in, bool dryRun = false);
    // Writes an image beside the PSD file under name, as the flags ask.
    void WriteImage(const char* name, const u8* pixels, u32 width, u32 height, u32 channels);

    CString m_path;
    u32 m_littleEndian = 0;
    Header m_header{};
    u8* m_colourData = nullptr;
    u32 m_colourDataSize = 0;
    Resource m_resource{};
    CString m_resourceName;
    u32 m_bytesPerSample = 0;
    ResolutionInfo m_resolution{};
    OldHeader m_oldHeader{};
    DisplayInfo m_displayInfo{};
    Thumbnail m_thumbnail{};
    u32 m_flag1034 = 0;
    u32 m_globalAngle = 0;
    u16 m_indexedColourCount = 0;
    u16 m_transparencyIndex = 0;
    u16 m_imageCompression = 0;
    u32 m_layerSized = 1;
    u32 m_writeDDS = 0;
    u32 m_writeBMP = 0;
    CResourceList m_layers;
};

// Decodes one PackBits row of rowSize bytes from source (sourceSize bytes
// available) into row; *used gets the source bytes taken. False when a run
// would pass the row's end or the source ends before the row is full.
bool DecodePackBitsRow(const u8* source, u32 sourceSize, u8* row, u32 rowSize, u32* used);
