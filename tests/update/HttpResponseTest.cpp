#include "update/HttpResponse.h"

#include <gtest/gtest.h>

#include <string>

namespace qm {
namespace {

using State = HttpResponse::State;

struct ResponseCase {
    const char* name;
    std::string bytes;
    bool closed;
    State state;
    int status;
    std::string body; // the text a GET yields (SuccessBody)
};

class ReadHttpResponseTest : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(ReadHttpResponseTest, FramesTheBody) {
    const ResponseCase& c = GetParam();
    const HttpResponse response = ReadHttpResponse(c.bytes, c.closed);
    EXPECT_EQ(response.state, c.state) << c.name;
    if (c.state == State::Complete) {
        EXPECT_EQ(response.status, c.status) << c.name;
    }
    EXPECT_EQ(SuccessBody(response), c.body) << c.name;
}

const std::string kOk = "HTTP/1.1 200 OK\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadHttpResponseTest,
    ::testing::Values(
        ResponseCase{"length", kOk + "Content-Length: 9\r\n\r\n2.7.0.0\r\nEXTRA", false, State::Complete, 200,
                     "2.7.0.0\r\n"},
        ResponseCase{"length short, open", kOk + "Content-Length: 9\r\n\r\n2.7", false, State::Incomplete, 0, ""},
        ResponseCase{"length short, closed", kOk + "Content-Length: 9\r\n\r\n2.7", true, State::Malformed, 0, ""},
        ResponseCase{"to the close", kOk + "Content-Type: text/plain\r\n\r\n2.7.0.0", true, State::Complete, 200,
                     "2.7.0.0"},
        ResponseCase{"to the close, still open", kOk + "\r\n2.7.0.0", false, State::Incomplete, 0, ""},
        ResponseCase{"LF line ends", "HTTP/1.0 200 OK\nContent-Length: 3\n\n2.7", false, State::Complete, 200, "2.7"},
        ResponseCase{"no reason", "HTTP/1.1 200\r\nContent-Length: 1\r\n\r\n3", false, State::Complete, 200, "3"},
        ResponseCase{"chunked",
                     kOk + "Transfer-Encoding: chunked\r\n\r\n3;x=y\r\n2.7\r\n4\r\n.0.0\r\n0\r\nT: v\r\n\r\n", false,
                     State::Complete, 200, "2.7.0.0"},
        ResponseCase{"chunked wins over length",
                     kOk + "Content-Length: 1\r\nTransfer-Encoding: gzip, Chunked\r\n\r\nA\r\n0123456789\r\n0\r\n\r\n",
                     false, State::Complete, 200, "0123456789"},
        ResponseCase{"chunked never ends", kOk + "Transfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n", false,
                     State::Incomplete, 0, ""},
        ResponseCase{"chunked cut by the close", kOk + "Transfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n", true,
                     State::Malformed, 0, ""},
        ResponseCase{"chunk size not hex", kOk + "Transfer-Encoding: chunked\r\n\r\nzz\r\n", false, State::Malformed, 0,
                     ""},
        ResponseCase{"chunk size huge", kOk + "Transfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFF\r\n", false,
                     State::Malformed, 0, ""},
        ResponseCase{"chunk without its CR LF", kOk + "Transfer-Encoding: chunked\r\n\r\n3\r\nabcd\r\n0\r\n\r\n", false,
                     State::Malformed, 0, ""},
        ResponseCase{"other coding runs to the close", kOk + "Transfer-Encoding: gzip\r\n\r\nxyz", true,
                     State::Complete, 200, "xyz"},
        ResponseCase{"conflicting lengths", kOk + "Content-Length: 3\r\nContent-Length: 4\r\n\r\n1234", true,
                     State::Malformed, 0, ""},
        ResponseCase{"length not a number", kOk + "Content-Length: -3\r\n\r\n1234", true, State::Malformed, 0, ""},
        ResponseCase{"interim then final", "HTTP/1.1 100 Continue\r\n\r\n" + kOk + "Content-Length: 1\r\n\r\n5", false,
                     State::Complete, 200, "5"},
        ResponseCase{"no content", "HTTP/1.1 204 No Content\r\n\r\n", false, State::Complete, 204, ""},
        ResponseCase{"404 page", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found", false, State::Complete,
                     404, ""},
        ResponseCase{"redirect", "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1/x\r\nContent-Length: 0\r\n\r\n",
                     false, State::Complete, 302, ""},
        ResponseCase{"garbage", "2.7.0.0\r\n", true, State::Malformed, 0, ""},
        ResponseCase{"status not three digits", "HTTP/1.1 20 OK\r\n\r\n", true, State::Malformed, 0, ""},
        ResponseCase{"nothing, open", "", false, State::Incomplete, 0, ""},
        ResponseCase{"nothing, closed", "", true, State::Malformed, 0, ""},
        ResponseCase{"headers cut by the close", kOk + "Content-Length: 3\r\n", true, State::Malformed, 0, ""},
        ResponseCase{"NUL in body",
                     kOk + "Content-Length: 3\r\n\r\n" +
                         std::string("2\0"
                                     "7",
                                     3),
                     false, State::Complete, 200,
                     std::string("2\0"
                                 "7",
                                 3)}));

} // namespace
} // namespace qm
