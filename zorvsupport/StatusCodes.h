#pragma once

// Status codes of the library. 0 is success; every failing operation returns
// (or fills a long& with) one of these, or passes a platform status through.
namespace ZORV_3_13_0_ {
namespace DataSet {

inline constexpr long kSuccess = 0;
inline constexpr long kErrOutOfMemory                = 100001;
inline constexpr long kErrVectorHeaderMismatch       = 136001;
inline constexpr long kErrValueCountMismatch         = 136002;
inline constexpr long kErrNoDataVectorElement        = 136003;
inline constexpr long kErrNoTupleValueElement        = 136004;
inline constexpr long kErrVectorXmlWriteFailed       = 136005;
inline constexpr long kErrCannotCreateVector         = 136008;
inline constexpr long kErrNotResizeable              = 136009;
inline constexpr long kErrIndexOutOfRange            = 136010;
inline constexpr long kErrUnknownTypeCode            = 136041;
inline constexpr long kErrUnknownTypeName            = 136042;
inline constexpr long kErrXmlAttributeMissing        = 136044;
inline constexpr long kErrXmlAttributeWriteFailed    = 136045;
inline constexpr long kErrNotSingleCharacter         = 136046;
inline constexpr long kErrTextNotNumber              = 136047;
inline constexpr long kErrNumberToTextFailed         = 136048;
inline constexpr long kErrBufferExhausted            = 136091;
inline constexpr long kErrSeekOutOfRange             = 136092;
inline constexpr long kErrBadStoredTypeCode          = 136101;
inline constexpr long kErrNoDataTypeElement          = 136102;
inline constexpr long kErrDataTypeXmlWriteFailed     = 136103;
inline constexpr long kErrValueTypeMismatch          = 136121;
inline constexpr long kErrVectorClassMismatch        = 136122;
inline constexpr long kErrDataTypesDiffer            = 136123;
inline constexpr long kErrDimensionCountsDiffer      = 136124;
inline constexpr long kErrUnsupportedDimensionCount  = 136125;
inline constexpr long kErrFillOutOfRange             = 136126;
inline constexpr long kErrSubsectionOutOfRange       = 136127;
inline constexpr long kErrBoxOutOfRange              = 136128;
inline constexpr long kErrInterpolationNotSupported  = 136129;
inline constexpr long kErrUnknownInterpolationMethod = 136130;
inline constexpr long kErrSubsectionsDiffer          = 136131;
inline constexpr long kErrNotSupported               = 136132;
inline constexpr long kErrVariantValueCountMismatch  = 136151;
inline constexpr long kErrVariantXmlWriteFailed      = 136152;
inline constexpr long kErrNotConvertible             = 136153;
inline constexpr long kErrStringTooLong              = 136174;
inline constexpr long kErrBadMatrixSize              = 138241;
inline constexpr long kErrBadPointDimension          = 138242;
inline constexpr long kErrNoPoints                   = 138243;
inline constexpr long kErrElementTypeMismatch        = 139771;
inline constexpr long kErrUnknownCompression         = 139772;
inline constexpr long kErrSwapTypeMismatch           = 139773;
inline constexpr long kErrCompressFailed             = 139774;
inline constexpr long kErrDecompressFailed           = 139775;
inline constexpr long kErrCompressedLengthTooLong    = 139776;
inline constexpr long kErrNoCurrentNode              = 143001;
inline constexpr long kErrAttributeTypeMismatch      = 143002;
inline constexpr long kErrAttributeNotFound          = 143003;
inline constexpr long kErrNoPluginForOpen            = 143011;
inline constexpr long kErrNoPluginForDatasetNames    = 143012;
inline constexpr long kErrNoPluginForDelete          = 143014;
inline constexpr long kErrNoPluginForRename          = 143015;
inline constexpr long kErrFormatTypeMismatch         = 143021;
inline constexpr long kErrNotFormattable             = 143022;
inline constexpr long kErrNoStringTable              = 143023;
inline constexpr long kErrFormatOverflow             = 143024;
inline constexpr long kErrNoIndexBand                = 143031;
inline constexpr long kErrInvalidExpression          = 143041;
inline constexpr long kErrByteOrderMismatch          = 143051;
inline constexpr long kErrWarpTypeMismatch           = 143061;
inline constexpr long kErrUnknownWarpInterpolation   = 143062;
inline constexpr long kErrBadNormalBuffer            = 143063;
inline constexpr long kErrBadShadeBuffer             = 143064;
inline constexpr long kErrNotImplemented             = 700028;

// Raster reprojection.
inline constexpr long kErrUnknownReprojectMethod     = 143065;

// Coordinate systems and covers.
inline constexpr long kErrCoordSystemInvalid         = 710001;
inline constexpr long kErrCoordTransformUnavailable  = 710002;
inline constexpr long kErrCoordTransformFailed       = 710003;
inline constexpr long kErrCoverInvalid               = 710004;
inline constexpr long kErrBadCoordPoint              = 710005;

// Geometries.
inline constexpr long kErrGeomInvalid                = 710011;
inline constexpr long kErrGeomEngineFailed           = 710012;

// High-precision geometry objects.
inline constexpr long kErrGeomNullArgument           = 710013;
inline constexpr long kErrGeomUnsupported            = 710014;

}  // namespace DataSet
}  // namespace ZORV_3_13_0_
