// Writes pictures of the effects' responses as PNG files, for a review with the eyes
// of what the presets do: the reverbs' impulse responses, decay curves and spectra
// through the real chain and plug-ins, the Isolator's bands, the compressor's static
// curves, the limiter on sharp peaks and the mastering presets' small-signal response.
//   vorniq-effect-plots <output folder>
#include "editing/EffectsChain.h"
#include "plugins/analysis/ResponseAnalysis.h"
#include "plugins/dsp/Compressor.h"
#include "plugins/dsp/Isolator.h"
#include "plugins/dsp/Limiter.h"

#include <juce_graphics/juce_graphics.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using effects::ResponseAnalysis;

namespace
{
    constexpr double rate = 48000.0;
    const char* const reverbNames[] = { "Room", "Jazz Club", "Concert Hall", "Arena", "Stadium" };
    const char* const masteringNames[] = { "Maximize", "Ultra Maximize", "Clear & Power" };
    const juce::Colour palette[] = { juce::Colour (0xff1f77b4), juce::Colour (0xffff7f0e), juce::Colour (0xff2ca02c),
                                     juce::Colour (0xffd62728), juce::Colour (0xff9467bd), juce::Colour (0xff8c564b) };

    struct Curve
    {
        juce::String label;
        std::vector<double> x, y;
        juce::Colour colour;
    };

    /** One chart: axes with a grid, curves and a legend. */
    struct Chart
    {
        juce::String title, xLabel, yLabel;
        double xMin = 0, xMax = 1, yMin = 0, yMax = 1;
        bool logX = false;
        std::vector<Curve> curves;
        std::vector<std::pair<double, juce::String>> horizontalMarks;

        float toX (double x, juce::Rectangle<float> area) const
        {
            auto t = logX ? std::log (x / xMin) / std::log (xMax / xMin) : (x - xMin) / (xMax - xMin);
            return area.getX() + (float) t * area.getWidth();
        }

        float toY (double y, juce::Rectangle<float> area) const
        {
            auto t = (juce::jlimit (yMin, yMax, y) - yMin) / (yMax - yMin);
            return area.getBottom() - (float) t * area.getHeight();
        }

        void draw (juce::Graphics& g, juce::Rectangle<float> bounds) const
        {
            g.setColour (juce::Colours::black);
            g.setFont (15.0f);
            g.drawText (title, bounds.removeFromTop (24.0f), juce::Justification::centred);
            auto area = bounds.reduced (60.0f, 30.0f).withTrimmedTop (-10.0f);

            g.setFont (11.0f);

            for (int i = 0; i <= 10; ++i)
            {
                auto x = logX ? xMin * std::pow (xMax / xMin, i / 10.0) : xMin + (xMax - xMin) * i / 10.0;
                auto px = toX (x, area);
                g.setColour (juce::Colours::lightgrey);
                g.drawVerticalLine ((int) px, area.getY(), area.getBottom());
                g.setColour (juce::Colours::black);
                g.drawText (juce::String (x, std::abs (x) < 10 && x != std::floor (x) ? 2 : 0),
                            juce::Rectangle<float> (px - 30.0f, area.getBottom() + 2.0f, 60.0f, 14.0f),
                            juce::Justification::centred);

                auto y = yMin + (yMax - yMin) * i / 10.0;
                auto py = toY (y, area);
                g.setColour (juce::Colours::lightgrey);
                g.drawHorizontalLine ((int) py, area.getX(), area.getRight());
                g.setColour (juce::Colours::black);
                g.drawText (juce::String (y, std::abs (yMax - yMin) < 5 ? 2 : 0),
                            juce::Rectangle<float> (area.getX() - 58.0f, py - 7.0f, 54.0f, 14.0f),
                            juce::Justification::centredRight);
            }

            g.drawText (xLabel, juce::Rectangle<float> (area.getX(), area.getBottom() + 16.0f, area.getWidth(), 14.0f),
                        juce::Justification::centred);
            g.drawText (yLabel, juce::Rectangle<float> (bounds.getX(), area.getY() - 22.0f, 200.0f, 14.0f),
                        juce::Justification::centredLeft);
            g.drawRect (area);

            for (const auto& [level, label] : horizontalMarks)
            {
                g.setColour (juce::Colours::darkgrey);
                auto py = toY (level, area);
                float dashes[] = { 6.0f, 4.0f };
                g.drawDashedLine (juce::Line<float> (area.getX(), py, area.getRight(), py), dashes, 2);
                g.drawText (label, juce::Rectangle<float> (area.getRight() - 160.0f, py - 15.0f, 156.0f, 14.0f),
                            juce::Justification::centredRight);
            }

            g.saveState();
            g.reduceClipRegion (area.toNearestInt());

            for (const auto& curve : curves)
            {
                juce::Path path;
                auto started = false;    // (a path holding only its start point counts as empty)

                for (size_t i = 0; i < curve.x.size(); ++i)
                {
                    if (! std::isfinite (curve.y[i]))
                        continue;

                    auto point = juce::Point<float> (toX (curve.x[i], area), toY (curve.y[i], area));

                    if (! started)
                        path.startNewSubPath (point);
                    else
                        path.lineTo (point);

                    started = true;
                }

                g.setColour (curve.colour);
                g.strokePath (path, juce::PathStrokeType (1.5f));
            }

            g.restoreState();

            auto legend = juce::Rectangle<float> (area.getRight() - 250.0f, area.getY() + 6.0f, 244.0f, 16.0f);

            for (const auto& curve : curves)
            {
                if (curve.label.isEmpty())
                    continue;

                g.setColour (curve.colour);
                g.fillRect (legend.withWidth (14.0f).reduced (0.0f, 6.0f));
                g.setColour (juce::Colours::black);
                g.drawText (curve.label, legend.withTrimmedLeft (20.0f), juce::Justification::centredLeft);
                legend.translate (0.0f, 16.0f);
            }
        }
    };

    bool writePng (const juce::File& file, const std::vector<Chart>& charts, int width = 1100, int heightEach = 420)
    {
        juce::Image image (juce::Image::RGB, width, heightEach * (int) charts.size(), true);
        juce::Graphics g (image);
        g.fillAll (juce::Colours::white);

        for (size_t i = 0; i < charts.size(); ++i)
            charts[i].draw (g, juce::Rectangle<float> (0.0f, (float) (i * (size_t) heightEach), (float) width, (float) heightEach).reduced (10.0f));

        file.deleteFile();
        juce::FileOutputStream stream (file);
        juce::PNGImageFormat png;
        auto written = stream.openedOk() && png.writeImageToStream (image, stream);
        std::printf ("%s %s\n", written ? "wrote" : "could not write", file.getFullPathName().toRawUTF8());
        return written;
    }

    /** An impulse through a chain with one preset: left and right, dry removed. */
    std::vector<std::vector<double>> chainImpulseResponse (int preset, double seconds, double amplitude = 0.5)
    {
        EffectsChain chain;
        chain.prepare (4096, rate);
        chain.setPreset (preset);
        auto length = (int) (seconds * rate);
        std::vector<std::vector<double>> response (2, std::vector<double> ((size_t) length, 0.0));
        juce::AudioBuffer<float> block (2, 4096);
        juce::MidiBuffer midi;

        for (int start = 0; start < length; start += 4096)
        {
            block.clear();

            if (start == 0)
            {
                block.setSample (0, 0, (float) amplitude);
                block.setSample (1, 0, (float) amplitude);
            }

            chain.process (block, midi);

            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 4096 && start + i < length; ++i)
                    response[(size_t) c][(size_t) (start + i)] = block.getSample (c, i) / amplitude;
        }

        chain.release();
        return response;
    }

    std::vector<double> timeAxis (size_t length)
    {
        std::vector<double> t (length);

        for (size_t i = 0; i < length; ++i)
            t[i] = (double) i / rate;

        return t;
    }

    void plotReverbs (const juce::File& folder)
    {
        Chart decay { "Energy decay of the REVERB presets (through the chain)", "time (s)", "energy left (dB)",
                      0.0, 8.0, -70.0, 0.0 };
        Chart spectra { "Spectrum of the reverberation (dry removed, 1/3-octave smoothed)", "frequency (Hz)",
                        "level (dB)", 20.0, 20000.0, -30.0, 30.0, true };
        std::vector<Chart> impulses;

        for (int preset = 1; preset <= 5; ++preset)
        {
            auto response = chainImpulseResponse (preset, 8.5);
            response[0][0] -= 1.0;
            response[1][0] -= 1.0;
            auto edc = ResponseAnalysis::energyDecayDb (response);
            auto seconds = ResponseAnalysis::decayTimeSeconds (edc, rate);
            auto colour = palette[preset - 1];
            auto label = juce::String (reverbNames[preset - 1]) + " (T20 " + juce::String (seconds, 2) + " s)";

            Curve edcCurve { label, {}, {}, colour };

            for (size_t i = 0; i < edc.size(); i += 240)
            {
                edcCurve.x.push_back ((double) i / rate);
                edcCurve.y.push_back (edc[i]);
            }

            decay.curves.push_back (edcCurve);

            auto frequencies = ResponseAnalysis::logFrequencies (20.0, 20000.0, 240);
            auto fine = ResponseAnalysis::logFrequencies (20.0, 20000.0, 960);
            auto levels = ResponseAnalysis::magnitudeDb (response[0], fine, rate);
            Curve spectrum { reverbNames[preset - 1], frequencies, {}, colour };

            for (size_t i = 0; i < frequencies.size(); ++i)
            {
                double sum = 0.0;
                int count = 0;

                for (size_t j = 0; j < fine.size(); ++j)
                {
                    if (std::abs (std::log2 (fine[j] / frequencies[i])) < 1.0 / 6.0)
                    {
                        sum += std::pow (10.0, levels[j] / 10.0);
                        ++count;
                    }
                }

                spectrum.y.push_back (count > 0 ? 10.0 * std::log10 (sum / count) : levels[i * 4]);
            }

            spectra.curves.push_back (spectrum);

            Chart impulse { juce::String ("Impulse response of \"") + reverbNames[preset - 1] + "\", left (dry removed)",
                            "time (s)", "amplitude", 0.0, 1.0, -0.1, 0.1 };
            auto firstSecond = std::vector<double> (response[0].begin(), response[0].begin() + (long) rate);
            impulse.curves.push_back ({ "", timeAxis (firstSecond.size()), firstSecond, colour });
            impulses.push_back (impulse);
        }

        writePng (folder.getChildFile ("reverb-decay.png"), { decay, spectra });
        writePng (folder.getChildFile ("reverb-impulses.png"), impulses, 1100, 300);
    }

    void plotIsolator (const juce::File& folder)
    {
        Chart bands { "Isolator: bands and their sum at the mastering splits (48 kHz)", "frequency (Hz)", "level (dB)",
                      20.0, 20000.0, -60.0, 6.0, true };
        auto frequencies = ResponseAnalysis::logFrequencies (20.0, 20000.0, 400);
        int colour = 0;

        for (auto split : { 0.03, 0.06, 0.373, 0.45 })
        {
            effects::Isolator isolator;
            isolator.prepare (rate, 4096);
            isolator.setParameter (effects::Isolator::crossover, split);
            std::vector<double> high (1 << 15, 0.0), low (1 << 15, 0.0), sum (1 << 15, 0.0);
            high[0] = 1.0;
            double* channels[] = { high.data(), low.data() };
            isolator.process (channels, 2, (int) high.size());

            for (size_t i = 0; i < sum.size(); ++i)
                sum[i] = high[i] + low[i];

            auto name = juce::String (isolator.getCrossoverFrequency(), 0) + " Hz";
            bands.curves.push_back ({ name + " low", frequencies, ResponseAnalysis::magnitudeDb (low, frequencies, rate), palette[colour] });
            bands.curves.push_back ({ name + " high", frequencies, ResponseAnalysis::magnitudeDb (high, frequencies, rate),
                                      palette[colour].withMultipliedBrightness (0.6f) });

            if (colour == 0)
                bands.curves.push_back ({ "sum (all splits)", frequencies, ResponseAnalysis::magnitudeDb (sum, frequencies, rate),
                                          juce::Colours::black });

            ++colour;
        }

        writePng (folder.getChildFile ("isolator-bands.png"), { bands });
    }

    void plotCompressorAndLimiter (const juce::File& folder)
    {
        Chart curves { "Compressor: static curves (make-up included) at the mastering amounts", "input (dBFS)",
                       "output (dBFS)", -60.0, 0.0, -60.0, 20.0 };
        curves.curves.push_back ({ "input = output", { -60.0, 0.0 }, { -60.0, 0.0 }, juce::Colours::grey });
        int colour = 0;

        for (auto amount : { 0.325, 0.65, 1.0 })
        {
            effects::Compressor compressor;
            compressor.setParameter (effects::Compressor::amount, amount);
            Curve curve { "amount " + juce::String (amount, 3) + ": T " + juce::String (compressor.getThresholdDb(), 1)
                            + " dB, R " + juce::String (compressor.getRatio(), 1) + ", M +" + juce::String (compressor.getMakeUpDb(), 1),
                          {}, {}, palette[colour++] };

            for (double x = -60.0; x <= 0.0; x += 0.25)
            {
                curve.x.push_back (x);
                curve.y.push_back (compressor.getStaticOutputDb (x));
            }

            curves.curves.push_back (curve);
        }

        // The limiter on a signal with sharp peaks.
        effects::Limiter limiter;
        limiter.prepare (rate, 4096);
        limiter.setParameter (effects::Limiter::attack, 0.015);
        limiter.setParameter (effects::Limiter::ceiling, 0.9);
        limiter.setParameter (effects::Limiter::release, 0.63);
        std::mt19937 random (5);
        std::normal_distribution<double> noise (0.0, 0.15);
        auto length = (size_t) (0.3 * rate);
        std::vector<double> input (length), left (length), right (length);

        for (size_t i = 0; i < length; ++i)
        {
            input[i] = noise (random) + 0.5 * std::sin (0.02 * (double) i);

            if (i % 2400 == 1200)
                input[i] += 2.0;

            left[i] = right[i] = input[i];
        }

        double* channels[] = { left.data(), right.data() };
        limiter.process (channels, 2, (int) length);

        Chart limited { "limiter (preset settings): input with sharp peaks and output, ceiling 0.9", "time (s)",
                        "amplitude", 0.0, 0.3, -1.5, 2.8 };
        limited.curves.push_back ({ "input", timeAxis (length), input, juce::Colours::lightgrey.darker() });
        limited.curves.push_back ({ "output", timeAxis (length), left, palette[0] });
        limited.horizontalMarks.push_back ({ 0.9, "ceiling 0.9" });
        limited.horizontalMarks.push_back ({ -0.9, "ceiling -0.9" });

        writePng (folder.getChildFile ("compressor-and-limiter.png"), { curves, limited });
    }

    void plotMastering (const juce::File& folder)
    {
        Chart response { "MASTERING presets: small-signal response (-40 dBFS impulse, through the chain)",
                         "frequency (Hz)", "gain (dB)", 20.0, 20000.0, -6.0, 30.0, true };
        auto frequencies = ResponseAnalysis::logFrequencies (20.0, 20000.0, 300);

        for (int preset = 6; preset <= 8; ++preset)
        {
            auto impulse = chainImpulseResponse (preset, 0.5, 0.01);
            response.curves.push_back ({ masteringNames[preset - 6], frequencies,
                                         ResponseAnalysis::magnitudeDb (impulse[0], frequencies, rate), palette[preset - 6] });
        }

        writePng (folder.getChildFile ("mastering-response.png"), { response });
    }
}

int main (int argc, char* argv[])
{
    if (argc != 2)
    {
        std::fprintf (stderr, "usage: vorniq-effect-plots <output folder>\n");
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI juce;
    auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]);

    if (! folder.createDirectory())
    {
        std::fprintf (stderr, "cannot make %s\n", folder.getFullPathName().toRawUTF8());
        return 1;
    }

    EffectsChain probe;
    probe.prepare (512, rate);

    if (! probe.isInitialised())
    {
        std::fprintf (stderr, "the effect plug-ins did not load from the program's plug-in folder\n");
        return 1;
    }

    probe.release();
    plotReverbs (folder);
    plotIsolator (folder);
    plotCompressorAndLimiter (folder);
    plotMastering (folder);
    return 0;
}
