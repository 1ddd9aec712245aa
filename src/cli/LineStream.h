// An output stream that hands each complete line to a function, so the lines of
// several units running at once never mix within a line.
#pragma once

#include <functional>
#include <ostream>
#include <streambuf>
#include <string>

namespace hc12::cli {

class LineStream final : public std::ostream {
  public:
    explicit LineStream(std::function<void(const std::string&)> sink)
        : std::ostream(&buffer_), buffer_(std::move(sink)) {}
    ~LineStream() override { buffer_.FlushPartial(); }

  private:
    class Buffer final : public std::streambuf {
      public:
        explicit Buffer(std::function<void(const std::string&)> sink) : sink_(std::move(sink)) {}
        void FlushPartial() {
            if (!line_.empty())
                sink_(line_);
            line_.clear();
        }

      protected:
        int_type overflow(int_type c) override {
            if (c == traits_type::eof())
                return traits_type::not_eof(c);
            if (c == '\n') {
                sink_(line_);
                line_.clear();
            } else if (c != '\r') {  // a bar's return: there is no bar here
                line_.push_back(char(c));
            }
            return c;
        }

      private:
        std::function<void(const std::string&)> sink_;
        std::string line_;
    };
    Buffer buffer_;
};

}  // namespace hc12::cli
