#include "SenWireArchive.h"

#include <iomanip>
#include <limits>

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/impl/archive_serializer_map.ipp>
#include <boost/archive/impl/basic_text_iarchive.ipp>
#include <boost/archive/impl/basic_text_oarchive.ipp>
#include <boost/archive/impl/text_iarchive_impl.ipp>
#include <boost/archive/impl/text_oarchive_impl.ipp>

namespace boost::archive {
template class detail::archive_serializer_map<Velmor::SenTextOArchive>;
template class basic_text_oarchive<Velmor::SenTextOArchive>;
template class text_oarchive_impl<Velmor::SenTextOArchive>;
template class detail::archive_serializer_map<Velmor::SenTextIArchive>;
template class basic_text_iarchive<Velmor::SenTextIArchive>;
template class text_iarchive_impl<Velmor::SenTextIArchive>;
} // namespace boost::archive

namespace Velmor {

SenTextOArchive::SenTextOArchive(std::ostream& stream, unsigned int archiveVersion)
    : boost::archive::text_oarchive_impl<SenTextOArchive>(stream,
                                                          boost::archive::no_header | boost::archive::no_codecvt)
{
    const std::string signature(boost::archive::BOOST_ARCHIVE_SIGNATURE());
    *this << signature;
    const boost::serialization::library_version_type version(archiveVersion);
    *this << version;
}

void SenTextOArchive::save(const float& value)
{
    newtoken();
    os << std::defaultfloat << std::setprecision(std::numeric_limits<float>::digits10 + 2) << value;
}

void SenTextOArchive::save(const double& value)
{
    newtoken();
    os << std::defaultfloat << std::setprecision(std::numeric_limits<double>::digits10 + 2) << value;
}

SenTextIArchive::SenTextIArchive(std::istream& stream)
    : boost::archive::text_iarchive_impl<SenTextIArchive>(stream, boost::archive::no_codecvt)
{
    init();
}

void SenTextIArchive::load(std::string& text)
{
    std::size_t size = 0;
    *this >> size;
    if (is.get() != ' ') {
        throw boost::archive::archive_exception(boost::archive::archive_exception::input_stream_error);
    }
    const std::streamsize available = is.rdbuf()->in_avail();
    if (available < 0 || size > static_cast<std::size_t>(available)) {
        throw boost::archive::archive_exception(boost::archive::archive_exception::input_stream_error,
                                                "string longer than the message");
    }
    text.resize(size);
    if (size > 0) {
        is.read(text.data(), static_cast<std::streamsize>(size));
        if (static_cast<std::size_t>(is.gcount()) != size) {
            throw boost::archive::archive_exception(boost::archive::archive_exception::input_stream_error);
        }
    }
}

} // namespace Velmor
