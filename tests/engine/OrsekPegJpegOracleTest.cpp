// The decoder against an outside implementation of the same mathematics: libjpeg encodes a picture with
// quantisation steps equal to our multipliers / 8, its quantised coefficients are moved into our planes,
// and our decoded planes must agree with libjpeg's own raw (not upsampled, not colour converted) output.
#include "engine/OrsekPeg.h"

#include "tools/codec-fixture/CodecFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes CompressWithSteps(const Bytes &bgrx, int w, int h, const unsigned steps[64]) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *mem = nullptr;
    unsigned long memSize = 0;
    jpeg_mem_dest(&c, &mem, &memSize);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    // 4:2:0 (the defaults give 2x2 luma sampling) and one table for all components.
    jpeg_add_quant_table(&c, 0, steps, 100, TRUE);
    jpeg_add_quant_table(&c, 1, steps, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    Bytes row(3 * static_cast<std::size_t>(w));
    while (c.next_scanline < c.image_height) {
        const uint8_t *src = bgrx.data() + static_cast<std::size_t>(c.next_scanline) * w * 4;
        for (int x = 0; x < w; ++x) {
            row[3 * x] = src[4 * x + 2];
            row[3 * x + 1] = src[4 * x + 1];
            row[3 * x + 2] = src[4 * x];
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(mem, mem + memSize);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}

// The quantised coefficients of each component, coefficient-major like our planes (JPEG's component
// order: Y, Cb, Cr).
std::vector<std::vector<int16_t>> ReadCoefficients(const Bytes &jpeg) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), jpeg.size());
    jpeg_read_header(&d, TRUE);
    jvirt_barray_ptr *arrays = jpeg_read_coefficients(&d);
    std::vector<std::vector<int16_t>> planes;
    for (int ci = 0; ci < 3; ++ci) {
        const jpeg_component_info &comp = d.comp_info[ci];
        const int bx = static_cast<int>(comp.width_in_blocks), by = static_cast<int>(comp.height_in_blocks);
        const std::size_t blocks = static_cast<std::size_t>(bx) * by;
        std::vector<int16_t> plane(blocks * 64);
        for (int r = 0; r < by; ++r) {
            JBLOCKARRAY rows = (*d.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&d), arrays[ci],
                                                            static_cast<JDIMENSION>(r), 1, FALSE);
            for (int c = 0; c < bx; ++c)
                for (int k = 0; k < 64; ++k)
                    plane[k * blocks + static_cast<std::size_t>(r) * bx + c] = rows[0][c][k];
        }
        planes.push_back(std::move(plane));
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return planes;
}

// libjpeg's decoded component planes at their own sampling (Y full size, Cb and Cr half size).
std::vector<Bytes> ReadRawPlanes(const Bytes &jpeg, int w, int h) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), jpeg.size());
    jpeg_read_header(&d, TRUE);
    d.raw_data_out = TRUE;
    d.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&d);
    std::vector<Bytes> planes = {Bytes(static_cast<std::size_t>(w) * h),
                                 Bytes(static_cast<std::size_t>(w) * h / 4),
                                 Bytes(static_cast<std::size_t>(w) * h / 4)};
    std::vector<JSAMPROW> rows[3];
    while (d.output_scanline < d.output_height) {
        const int y0 = static_cast<int>(d.output_scanline);
        JSAMPARRAY arrays[3];
        for (int ci = 0; ci < 3; ++ci) {
            const int cw = ci == 0 ? w : w / 2;
            const int n = ci == 0 ? 16 : 8;
            const int cy = ci == 0 ? y0 : y0 / 2;
            rows[ci].resize(n);
            for (int i = 0; i < n; ++i)
                rows[ci][i] = planes[ci].data() + static_cast<std::size_t>(cy + i) * cw;
            arrays[ci] = rows[ci].data();
        }
        jpeg_read_raw_data(&d, arrays, 16);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return planes;
}

TEST(TOrsekPegCoder, AgreesWithLibjpegOnTheSameCoefficients) {
    const int w = 128, h = 96;
    const Bytes picture = codecfixture::TestPicture(w, h, 17);
    for (int quality : {0, 2, 4}) {
        SCOPED_TRACE("quality " + std::to_string(quality));
        TOrsekPegCoder coder(w, h, quality);
        int16_t m[64];
        coder.GetMultipliers(m);
        unsigned steps[64];
        for (int k = 0; k < 64; ++k)
            steps[k] = static_cast<unsigned>(m[k]) / 8;
        const Bytes jpeg = CompressWithSteps(picture, w, h, steps);
        auto coefs = ReadCoefficients(jpeg);
        // JPEG samples are level-shifted by 128; ours are not: 128 more in the mean is 1024/q[0] in DC.
        for (auto &plane : coefs) {
            const std::size_t blocks = plane.size() / 64;
            for (std::size_t b = 0; b < blocks; ++b)
                plane[b] = static_cast<int16_t>(plane[b] + 1024 / static_cast<int>(steps[0]));
        }
        // Ours: Y, V (= Cr), U (= Cb).
        const Bytes frame = codecfixture::PackFrame(coefs[0], coefs[2], coefs[1]);
        Bytes yuv(coder.ImageSize());
        coder.UnPackImage(yuv.data(), coder.ImageSize(), frame.data(), static_cast<int32_t>(frame.size()));

        const std::vector<Bytes> raw = ReadRawPlanes(jpeg, w, h);
        const std::size_t luma = static_cast<std::size_t>(w) * h;
        const uint8_t *ours[3] = {yuv.data(), yuv.data() + luma + luma / 4, yuv.data() + luma};
        for (int ci = 0; ci < 3; ++ci) {
            int worst = 0;
            double sum = 0;
            for (std::size_t i = 0; i < raw[ci].size(); ++i) {
                const int d = std::abs(int(ours[ci][i]) - int(raw[ci][i]));
                worst = std::max(worst, d);
                sum += d;
            }
            const double mean = sum / raw[ci].size();
            EXPECT_LE(worst, 5) << "component " << ci;
            EXPECT_LT(mean, 1.0) << "component " << ci;
            RecordProperty("component" + std::to_string(ci) + "_q" + std::to_string(quality) + "_worst",
                           worst);
        }
    }
}

} // namespace
