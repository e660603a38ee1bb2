#pragma once

#include <cstdint>
#include <vector>

#include "zorvsupport/Export.h"
#include "zorvsupport/platform/ZELUNScaler.h"

namespace ZLTIN_3_13_0 {

// The 3-D tools' sounding containers: only the sounding set that sounding
// sources fill is offered.
class ZORV_EXPORT ZELUNSuppressedSoundings {
public:
    // One sounding in disk units, with its identifier.
    struct SoundingRecord {
        std::int32_t x;
        std::int32_t y;
        std::int32_t z;
        std::uint64_t id;
    };

    // Records in the disk units of a scaler.
    class SoundingSet {
    public:
        explicit SoundingSet(ZELUNScaler const& scaler) : m_scaler(scaler) {}

        ZELUNScaler const& getScaler() const { return m_scaler; }
        std::vector<SoundingRecord>& getRecords() { return m_records; }
        std::vector<SoundingRecord> const& getRecords() const { return m_records; }

    private:
        ZELUNScaler m_scaler;
        std::vector<SoundingRecord> m_records;
    };
};

}  // namespace ZLTIN_3_13_0
