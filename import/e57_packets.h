#pragma once
// The point records of one E57 scan, decoded from its compressed vector. A binary
// section header leads to data packets (index and empty packets are passed over);
// each data packet holds the next bytes of every field's bytestream, and a bytestream
// runs on from packet to packet. Integers are bit-packed, least significant bit first,
// as the offset from their minimum in as few bits as their range needs; floats are
// little-endian IEEE numbers.

#include "import/e57_pages.h"
#include "import/e57_structure.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class E57RecordReader {
public:
    /// At most this many fields are decoded; the others' bytestreams are skipped.
    static constexpr int32_t MAX_WANTED = 4;

    /// `wanted` lists fields of `scan` (indices into scan.fields) to decode, in the order
    /// the columns are returned.
    E57RecordReader(E57Pages& pages, const E57Scan& scan, const std::vector<int32_t>& wanted);

    /// Reads the binary section header; false with `error` set when it is broken or does
    /// not fit the file.
    bool start(std::string& error);
    /// Decodes the next records: returns how many (0 once every record was returned, -1
    /// with `error` set when the data is broken or ends early) and points columns[k] at
    /// the values of wanted field k. The columns live until the next call.
    int64_t next(const double* columns[MAX_WANTED], std::string& error);
    /// The physical file offset reached, for the progress line.
    uint64_t physicalOffset() const { return e57Physical(at_); }

private:
    struct Stream {
        const E57Field* field = nullptr;
        int32_t index = 0;                 ///< bytestream of the field in every data packet
        std::vector<unsigned char> bytes;  ///< undecoded bytes from bitStart on, then 8 zero bytes
        uint32_t bitStart = 0;             ///< first undecoded bit of bytes[0]
        std::vector<double> values;        ///< decoded values [valueStart, valueEnd) not yet returned
        std::size_t valueStart = 0;
        std::size_t valueEnd = 0;
        int64_t decoded = 0;  ///< values decoded so far
    };

    bool readPacketHeader(uint8_t& type, uint64_t& length, std::string& error);
    bool locateStreams(std::string& error);
    bool readPacket(std::string& error);
    int64_t decodedRecords() const;
    void takeBytes(Stream& stream, const unsigned char* data, std::size_t count);
    void decode(Stream& stream);

    E57Pages& pages_;
    const E57Scan& scan_;
    std::vector<Stream> streams_;
    std::vector<unsigned char> packet_;  ///< the data packet being read
    std::vector<std::size_t> starts_;    ///< where each bytestream lies in packet_, and where the last ends
    uint64_t at_ = 0;                    ///< logical offset of the next packet
    uint64_t sectionEnd_ = 0;            ///< logical end of the binary section
    int64_t returned_ = 0;               ///< records returned so far
};
