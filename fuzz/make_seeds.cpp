// Writes the seed corpus of the fuzz targets with the library's own writers:
//   make_seeds <directory>
// makes <directory>/<target>/seed-NN for every target. Each seed is a small
// stored form in the layout its target reads (binary targets: first byte the
// byte-swap flag). A writer that is not available yet (kErrNotImplemented)
// leaves its target without seeds; any other failure ends the program with a
// non-zero status.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "zorvsupport/datavector/DataVectorND.h"
#include "zorvsupport/platform/ZELUNCoordSystem.h"
#include "zorvsupport/types/IOUtils.h"
#include "zorvsupport/types/Property.h"
#include "zorvsupport/types/Tuple.h"
#include "zorvsupport/types/Variant.h"

using namespace ZORV_3_13_0_::DataSet;
namespace fs = std::filesystem;

namespace {

int g_failures = 0;

class SeedDir {
public:
    SeedDir(fs::path const& root, char const* target) : m_dir(root / target) { fs::create_directories(m_dir); }

    void add(std::string const& bytes)
    {
        char name[32];
        std::snprintf(name, sizeof name, "seed-%02d", ++m_count);
        std::ofstream(m_dir / name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    // A binary seed: the swap flag byte, then what was written to `buffer`.
    void addBinary(IOBuffer const& buffer)
    {
        std::string bytes(1, buffer.getSwap() ? '\1' : '\0');
        bytes.append(reinterpret_cast<char const*>(buffer.getStartPtr()), buffer.tell());
        add(bytes);
    }

    // False (and the seed is not added) when the writer failed; a writer
    // that is not there yet is reported once and not counted as a failure.
    bool ok(long status, char const* what)
    {
        if (status == kSuccess) return true;
        if (status == kErrNotImplemented) {
            if (!m_notImplemented) std::printf("make_seeds: %s: not implemented yet, no seed\n", what);
            m_notImplemented = true;
        } else {
            std::fprintf(stderr, "make_seeds: %s failed with %ld\n", what, status);
            ++g_failures;
        }
        return false;
    }

private:
    fs::path m_dir;
    int m_count = 0;
    bool m_notImplemented = false;
};

class Doc {
public:
    Doc() : m_doc(xmlNewDoc(BAD_CAST "1.0"))
    {
        m_root = xmlNewNode(nullptr, BAD_CAST "root");
        xmlDocSetRootElement(m_doc, m_root);
    }
    ~Doc() { xmlFreeDoc(m_doc); }
    Doc(Doc const&) = delete;
    Doc& operator=(Doc const&) = delete;
    xmlNode& root() { return *m_root; }
    std::string str() const
    {
        xmlChar* text = nullptr;
        int length = 0;
        xmlDocDumpMemory(m_doc, &text, &length);
        std::string s(reinterpret_cast<char const*>(text), static_cast<std::size_t>(length));
        xmlFree(text);
        return s;
    }

private:
    xmlDoc* m_doc;
    xmlNode* m_root;
};

// Component i of a vector's values: small, varied, exact in text.
template <class E>
void fillComponents(void* data, unsigned count)
{
    auto* p = static_cast<E*>(data);
    for (unsigned i = 0; i < count; ++i) p[i] = static_cast<E>((i * 37 + 11) % 120) - static_cast<E>(i % 3 == 0 ? 0 : 5);
}

void fill(DataVector& v)
{
    unsigned n = v.size() * v.getDataType().getLength();
    switch (v.getDataType().getType()) {
    case DataType::kFloat32: {
        auto* p = static_cast<float*>(v.getDataPtr());
        for (unsigned i = 0; i < n; ++i) p[i] = 0.25f * float(i) - 1.5f;
        break;
    }
    case DataType::kFloat64: {
        auto* p = static_cast<double*>(v.getDataPtr());
        for (unsigned i = 0; i < n; ++i) p[i] = std::sin(double(i)) * 100.0;
        break;
    }
    case DataType::kVec3: fillComponents<double>(v.getDataPtr(), 3 * n); break;
    case DataType::kInt8:
    case DataType::kUInt8: {
        // Letters: characters that every text form and XML document carries.
        auto* p = static_cast<unsigned char*>(v.getDataPtr());
        for (unsigned i = 0; i < n; ++i) p[i] = static_cast<unsigned char>('A' + (i * 7) % 26);
        break;
    }
    case DataType::kInt16: fillComponents<short>(v.getDataPtr(), n); break;
    case DataType::kUInt16: fillComponents<unsigned short>(v.getDataPtr(), n); break;
    case DataType::kInt32: fillComponents<int>(v.getDataPtr(), n); break;
    case DataType::kUInt32: fillComponents<unsigned>(v.getDataPtr(), n); break;
    case DataType::kInt64: fillComponents<long long>(v.getDataPtr(), n); break;
    case DataType::kUInt64: fillComponents<unsigned long long>(v.getDataPtr(), n); break;
    default: break;
    }
}

struct VectorSeed {
    DataType type;
    std::vector<unsigned> dims;
    CompressionMethod method;
    bool swap;
};

boost::shared_ptr<DataVector> makeVector(VectorSeed const& s)
{
    boost::shared_ptr<DataVector> v;
    auto const& d = s.dims;
    switch (d.size()) {
    case 1: v = DataVectorND<1>::create(s.type, ZELUNnPoint<unsigned, 1>(d[0])); break;
    case 2: v = DataVectorND<2>::create(s.type, ZELUNnPoint<unsigned, 2>(d[0], d[1])); break;
    case 3: v = DataVectorND<3>::create(s.type, ZELUNnPoint<unsigned, 3>(d[0], d[1], d[2])); break;
    case 4: v = DataVectorND<4>::create(s.type, ZELUNnPoint<unsigned, 4>(d[0], d[1], d[2], d[3])); break;
    default: break;
    }
    if (v) {
        fill(*v);
        v->setCompressionMethod(s.method);
    }
    return v;
}

std::vector<VectorSeed> const& vectorSeeds()
{
    static std::vector<VectorSeed> const seeds = {
        {DataType(DataType::kFloat32, 0), {3}, kCompressionNone, false},
        {DataType(DataType::kFloat32, 0), {3}, kCompressionNone, true},
        {DataType(DataType::kInt16, 0), {4, 3}, kCompressionZlib, false},
        {DataType(DataType::kFloat64, 0), {2, 2, 2}, kCompressionZlib, true},
        {DataType(DataType::kUInt8, 3), {4}, kCompressionNone, false},
        {DataType(DataType::kVec3, 0), {1, 2, 1, 2}, kCompressionNone, true},
        {DataType(DataType::kInt32, 0), {0}, kCompressionZlib, false},
        {DataType(DataType::kUInt64, 2), {2, 3}, kCompressionZlib, false},
        {DataType(DataType::kInt8, 0), {5}, kCompressionNone, false},
        {DataType(DataType::kUInt16, 0), {2, 1, 2, 1}, kCompressionNone, true},
    };
    return seeds;
}

void dataVectorSeeds(fs::path const& root)
{
    SeedDir bin(root, "DataVectorBinaryFuzz");
    for (VectorSeed const& s : vectorSeeds()) {
        boost::shared_ptr<DataVector> v = makeVector(s);
        if (!v) {
            bin.ok(kErrCannotCreateVector, "DataVectorND::create");
            continue;
        }
        IOBuffer buffer(v->getHeaderSizeInBytes() + v->getSizeInBytes(), s.swap);
        if (bin.ok(v->writeToBinary(buffer), "DataVector::writeToBinary")) bin.addBinary(buffer);
    }

    SeedDir xml(root, "DataVectorXmlFuzz");
    for (VectorSeed const& s : vectorSeeds()) {
        boost::shared_ptr<DataVector> v = makeVector(s);
        if (!v) continue;
        Doc doc;
        if (xml.ok(v->writeToXML(doc.root()), "DataVector::writeToXML")) xml.add(doc.str());
    }
}

void variantSeeds(fs::path const& root)
{
    std::vector<Variant> values;
    values.emplace_back(2.5);
    values.emplace_back(-0.125f);
    values.emplace_back(static_cast<signed char>('q'));
    values.emplace_back(static_cast<unsigned char>(65));
    values.emplace_back(static_cast<short>(-1234));
    values.emplace_back(4000000000u);
    values.emplace_back(-9000000000LL);
    values.emplace_back(ZELUNVec3<double>(1.5, -2.0, 0.25));
    unsigned short const pair[2] = {7, 9};
    values.emplace_back(TTupleDataType<TDataType<5>>(2),
                        ConstTupleProxy<TTupleDataType<TDataType<5>>>(pair, 2));
    values.emplace_back(DataType(DataType::kInt32, 4));
    values.emplace_back();

    SeedDir bin(root, "VariantBinaryFuzz");
    SeedDir xml(root, "VariantXmlFuzz");
    bool swap = false;
    for (Variant const& v : values) {
        IOBuffer buffer(v.getSerializedSize(), swap);
        if (bin.ok(v.writeToBinary(buffer), "Variant::writeToBinary")) bin.addBinary(buffer);
        swap = !swap;
        if (v.getDataType().getType() == DataType::kUndefined) continue;  // no XML form
        Doc doc;
        if (xml.ok(v.writeToXML(doc.root()), "Variant::writeToXML")) xml.add(doc.str());
    }
}

void dataTypeSeeds(fs::path const& root)
{
    SeedDir xml(root, "DataTypeXmlFuzz");
    for (DataType t : {DataType(DataType::kUInt8, 3), DataType(DataType::kFloat32, 0), DataType(DataType::kVec3, 2),
                       DataType(DataType::kUInt64, 0)}) {
        Doc doc;
        if (xml.ok(t.writeToXML(doc.root()), "DataType::writeToXML")) xml.add(doc.str());
    }
}

void propertySeeds(fs::path const& root)
{
    SeedDir bin(root, "PropertyBinaryFuzz");
    for (bool swap : {false, true}) {
        Property tree(nullptr, "survey", "group");
        tree.value().setSwap(swap);
        Property* area = tree.addChild("area", "double");
        area->value().resize(8);
        area->value().write(1234.5);
        Property* tags = tree.addChild("tags", "list");
        tags->addChild("Grüße", "text")->value().resize(0);
        Property* raw = tags->addChild("raw", "bytes");
        unsigned char const bytes[5] = {0, 1, 2, 0xFE, 0xFF};
        raw->value().resize(5);
        raw->value().write(bytes, 5);

        IOBuffer buffer(tree.getSerializedSize(), swap);
        if (bin.ok(tree.writeToBinary(buffer), "Property::writeToBinary")) bin.addBinary(buffer);
    }
    Property empty;
    IOBuffer buffer(empty.getSerializedSize(), false);
    if (bin.ok(empty.writeToBinary(buffer), "Property::writeToBinary")) bin.addBinary(buffer);
}

void ioUtilsSeeds(fs::path const& root)
{
    SeedDir text(root, "IOUtilsStringFuzz");
    // First byte: bit 0 the swap flag, bit 1 std::string instead of ZELUNUString.
    auto addText = [&](unsigned char mode, IOBuffer const& buffer) {
        std::string bytes(1, static_cast<char>(mode));
        bytes.append(reinterpret_cast<char const*>(buffer.getStartPtr()), buffer.tell());
        text.add(bytes);
    };
    for (unsigned char mode = 0; mode < 4; ++mode) {
        bool const swap = mode & 1;
        if (mode & 2) {
            std::string const s(std::string("raw\0bytes\xff", 10));
            IOBuffer buffer(IOUtils::getSerializedSize(s), swap);
            if (text.ok(IOUtils::writeToBinary(buffer, s), "IOUtils::writeToBinary(std::string)")) addText(mode, buffer);
        } else {
            ZELUNUString const s = ZELUNUString::fromUtf8(swap ? "" : "Grüße, ∞ 𝄞");
            IOBuffer buffer(IOUtils::getSerializedSize(s), swap);
            if (text.ok(IOUtils::writeToBinary(buffer, s), "IOUtils::writeToBinary(ZELUNUString)")) addText(mode, buffer);
        }
    }

    SeedDir coord(root, "IOUtilsCoordSystemFuzz");
    ZELUNCoordSystem const systems[] = {
        ZELUNCoordSystem("EPSG:32632"),  // one string
        ZELUNCoordSystem(ZELUNUString("EPSG:4326"), ZELUNUString("WGS 84")),  // three strings
        ZELUNCoordSystem("+proj=utm +zone=33 +south +datum=WGS84"),
        ZELUNCoordSystem(ZELUNUString("GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,"
                                      "298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]]"),
                         ZELUNUString(std::string(80, 'n'))),
    };
    bool swap = false;
    for (ZELUNCoordSystem const& s : systems) {
        IOBuffer buffer(IOUtils::getSerializedSize(s), swap);
        if (coord.ok(IOUtils::writeToBinary(buffer, s), "IOUtils::writeToBinary(ZELUNCoordSystem)"))
            coord.addBinary(buffer);
        swap = !swap;
    }
}

// Inputs of the shapes that once made the readers allocate far more than
// their size or parse in quadratic time; written only where asked (they are
// up to 1 MiB, too large for the committed corpus).
void writeHostile(fs::path const& root, char const* target, char const* name, std::string const& bytes)
{
    fs::create_directories(root / target);
    std::ofstream(root / target / name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string littleEndian(std::initializer_list<unsigned> words)
{
    std::string out;
    for (unsigned w : words)
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(w >> (8 * i)));
    return out;
}

// A binary vector seed: the swap byte 0, then a header (type, tuple length,
// dimension count, compression, four dimensions) and what follows it.
std::string storedVector(unsigned code, unsigned short count, unsigned char compression, unsigned d0, unsigned d1,
                         std::string const& rest)
{
    std::string out(1, '\0');
    out += littleEndian({code, 0});
    out.push_back(static_cast<char>(count));
    out.push_back(static_cast<char>(count >> 8));
    out.push_back(static_cast<char>(compression));
    out.push_back('\0');
    return out + littleEndian({d0, d1, 0, 0}) + rest;
}

std::string vectorXml(char const* type, unsigned tuple, unsigned count, std::string const& values,
                      std::string const& prolog = "")
{
    return prolog + "<root><DataVector num_dimensions=\"1\" dimension_x=\"" + std::to_string(count) +
           "\"><DataType type=\"" + type + "\" tupleLength=\"" + std::to_string(tuple) + "\"/><Values>" + values +
           "</Values></DataVector></root>";
}

void hostileSeeds(fs::path const& root)
{
    constexpr std::size_t kMiB = 1u << 20;
    // An empty zlib stream behind a header declaring 1 GiB, padded to 1 MiB.
    std::string stream = littleEndian({8}) + std::string("\x78\x01\x03\x00\x00\x00\x00\x01", 8);
    std::string empty = storedVector(3, 1, 1, 1u << 30, 0, stream);
    writeHostile(root, "DataVectorBinaryFuzz", "hostile-empty-stream", empty + std::string(kMiB - empty.size(), '\0'));
    // A 64 KiB record whose last dimension a reread would adopt first.
    writeHostile(root, "DataVectorBinaryFuzz", "hostile-reread",
                 storedVector(0, 2, 0, 1, 16384, std::string(65536, '\0')));

    std::string const digits = "1." + std::string(kMiB - 256, '0');
    writeHostile(root, "DataVectorXmlFuzz", "hostile-tuple-length",
                 vectorXml("uint8", 0xFFFFFFFF, 1, "<value><value value=\"A\"/></value>"));
    writeHostile(root, "DataVectorXmlFuzz", "hostile-vec3-tuple",
                 vectorXml("ZELUNVec3", 178956970, 1, "<value><value value=\"0.0,0.0,0.0\"/></value>"));
    writeHostile(root, "DataVectorXmlFuzz", "hostile-long-number",
                 vectorXml("float64", 0, 1, "<value value=\"" + digits + "\"/>"));
    std::string refs;
    for (int i = 0; i < 200; ++i) refs += "&d;";
    writeHostile(root, "DataVectorXmlFuzz", "hostile-entities",
                 vectorXml("float64", 0, 1, "<value value=\"1." + refs + "\"/>",
                           "<!DOCTYPE root [<!ENTITY d \"" + std::string(1000, '7') + "\">]>"));
    writeHostile(root, "DataVectorXmlFuzz", "hostile-bad-value",
                 vectorXml("int32", 0, 3, "<value value=\"7\"/><value value=\"x\"/><value value=\"3\"/>"));
    writeHostile(root, "VariantXmlFuzz", "hostile-long-number",
                 "<root value=\"" + digits + "\"><DataType type=\"float64\" tupleLength=\"0\"/></root>");
}

// Filter expressions: first byte 0 for the boolean form, 1 for the numeric one.
void expressionSeeds(fs::path const& root)
{
    SeedDir dir(root, "ExpressionFuzz");
    char const* const boolean[] = {
        "Depth > 10 and Depth < 20", "x_1 < 1 OR x_1 > 5", "a = 1", "a != a", "Depth", "Depth >= 5", "Depth == 5",
        "Depth > 5 ", " Depth > 5", "\"Std Dev\" > 0", "a > 1 and (b < c or a = 2)", "a = 1 orb = 2", "a orb",
        "((((a > 1))))", "Depth > - - -(1)",
    };
    char const* const numeric[] = {"1+2", "1 + 2", "2*-3", "-x_1", "2^3^2", "8/2/2", "1.5.5", "-+5", ".5 + 5.",
                                   "1e3", "2x", "a / 0"};
    for (char const* text : boolean) dir.add(std::string(1, '\0') + text);
    for (char const* text : numeric) dir.add(std::string(1, '\1') + text);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_seeds <directory> [<directory for hostile inputs>]\n");
        return 2;
    }
    fs::path const root(argv[1]);
    if (argc == 3) hostileSeeds(argv[2]);
    dataVectorSeeds(root);
    variantSeeds(root);
    dataTypeSeeds(root);
    propertySeeds(root);
    ioUtilsSeeds(root);
    expressionSeeds(root);
    return g_failures == 0 ? 0 : 1;
}
