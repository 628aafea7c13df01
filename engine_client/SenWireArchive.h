#pragma once
// The text archives of the wire: the output writes archive version 9 and floats in default
// notation; the input bounds every string by the bytes left in the body.

#include <istream>
#include <ostream>
#include <string>

#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>

namespace Velmor {

class SenTextOArchive : public boost::archive::text_oarchive_impl<SenTextOArchive>
{
public:
    /// Writes the archive header naming archiveVersion; the stream must outlive the archive.
    SenTextOArchive(std::ostream& stream, unsigned int archiveVersion);
    ~SenTextOArchive() override = default;

    using boost::archive::text_oarchive_impl<SenTextOArchive>::save;
    void save(const float& value);
    void save(const double& value);
};

class SenTextIArchive : public boost::archive::text_iarchive_impl<SenTextIArchive>
{
public:
    /// Reads and checks the archive header; throws boost::archive::archive_exception on a bad one.
    explicit SenTextIArchive(std::istream& stream);
    ~SenTextIArchive() override = default;

    using boost::archive::text_iarchive_impl<SenTextIArchive>::load;
    /// A string may not claim more bytes than the stream still holds, so a short body cannot ask
    /// for a huge allocation.
    void load(std::string& text);
};

} // namespace Velmor
